#include "display/ana_control_bar.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QVBoxLayout>

#include "display/model/tables.h"

namespace nereid::display {

namespace {

QLineEdit* ReadOnly(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(true);
    return edit;
}

} // namespace

CAnaControlBar::CAnaControlBar(QWidget* parent) : QWidget(parent) {
    setFixedWidth(150);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    realTime = new QPushButton("RealTime", this);
    fromFile = new QPushButton("FromFile", this);
    timeMode = new QPushButton("TIME", this);
    reset = new QPushButton("RESET", this);
    reset->setEnabled(false);
    for (QPushButton* button : {realTime, fromFile, timeMode, reset})
        column->addWidget(button);

    auto* timeGroup = new QGroupBox("TimeRange", this);
    auto* timeLayout = new QVBoxLayout(timeGroup);
    timeRange = new QScrollBar(Qt::Horizontal, timeGroup);
    timeRange->setRange(0, static_cast<int>(model::kTimeRanges.size()) - 1);
    timeRange->setPageStep(1);
    // The view starts at 4.0 s: the bar must say so, or its first step would jump to 1.0 s.
    timeRange->setValue(model::kDefaultTimeRangeIndex);
    timeRangeText = new QLabel(timeGroup);
    timeLayout->addWidget(timeRange);
    timeLayout->addWidget(timeRangeText);
    column->addWidget(timeGroup);

    auto* scaleGroup = new QGroupBox("ViewScale", this);
    auto* scaleLayout = new QVBoxLayout(scaleGroup);
    viewScale = new QScrollBar(Qt::Horizontal, scaleGroup);
    viewScale->setRange(0, 24);
    viewScale->setPageStep(1);
    viewScaleText = new QLabel("x1", scaleGroup);
    scaleLayout->addWidget(viewScale);
    scaleLayout->addWidget(viewScaleText);
    column->addWidget(scaleGroup);

    column->addWidget(new QLabel("X-VALUE", this));
    xValue = ReadOnly(this);
    column->addWidget(xValue);
    column->addWidget(new QLabel("Y-VALUE", this));
    yValue = ReadOnly(this);
    column->addWidget(yValue);

    const auto labelled = [&](const QString& text, QWidget* field) {
        auto* label = new QLabel(text, this);
        label->setBuddy(field);
        column->addWidget(label);
        column->addWidget(field);
    };
    channelBox = new QComboBox(this);
    labelled("&Channel", channelBox);
    scaleValue = ReadOnly(this);
    labelled("Range (counts)", scaleValue);
    offsetValue = ReadOnly(this);
    labelled("Offset (pixels)", offsetValue);

    column->addWidget(new QLabel("FFT Size", this));
    fftSize = new QComboBox(this);
    for (int n : model::kFftSizes)
        fftSize->addItem(QString::number(n), n);
    fftSize->setCurrentIndex(2);
    column->addWidget(fftSize);
    column->addWidget(new QLabel("Bins Shown", this));
    binsShown = new QComboBox(this);
    for (int n : model::kBinsShown)
        binsShown->addItem(QString::number(n), n);
    column->addWidget(binsShown);

    timeGrid = new QSlider(Qt::Horizontal, this);
    timeGrid->setToolTip("Grid Illumination Light Change");
    spectrumGrid = new QSlider(Qt::Horizontal, this);
    spectrumGrid->setToolTip("Grid FFT Illumination Light Change");
    for (QSlider* slider : {timeGrid, spectrumGrid})
        slider->setRange(0, 20);
    column->addWidget(new QLabel("Grid", this));
    column->addWidget(timeGrid);
    column->addWidget(new QLabel("FFT Grid", this));
    column->addWidget(spectrumGrid);
    column->addStretch(1);
    SetTimeRangeText(model::kDefaultTimeRangeIndex);
}

void CAnaControlBar::SetTimeRangeText(int index) {
    timeRangeText->setText(QString::asprintf(
        "%.1f", model::kTimeRanges[static_cast<std::size_t>(model::ClampTimeRangeIndex(index))]));
}

void CAnaControlBar::SetReadout(const QString& x, const QString& y) {
    xValue->setText(x);
    yValue->setText(y);
}

} // namespace nereid::display
