#include "instrument/internal_recording/ir_window_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include "link/dialogs/message_box.h"

namespace nereid::instrument {

CIRDWindowPage::CIRDWindowPage(CIRSetupModel& setup, QWidget* parent)
    : CIRPage(setup, kIRWindowPage, parent), m_Model(setup.window) {
    m_Window = new QComboBox(this);
    for (int w = 1; w <= kRecordingWindows; ++w) {
        m_Window->addItem(QString::number(w));
    }
    m_Enabled = new QCheckBox("Window Enabled", this);
    m_Mode = new QComboBox(this);
    for (const char* mode : kWindowModeNames) {
        m_Mode->addItem(mode);
    }
    m_Start.Build(this, true);
    std::array<QWidget*, 2> spans{};
    for (int s = 0; s < 2; ++s) {
        auto* box = new QWidget(this);
        auto* h = new QHBoxLayout(box);
        h->setContentsMargins(0, 0, 0, 0);
        for (int k = 0; k < 3; ++k) {
            auto* e = new QLineEdit(box);
            e->setFixedWidth(k == 0 ? 40 : 28);
            e->setAlignment(Qt::AlignCenter);
            if (k > 0) {
                h->addWidget(new QLabel(":", box));
            }
            h->addWidget(e);
            m_Span[static_cast<std::size_t>(3 * s + k)] = e;
            Watch(e);
        }
        h->addWidget(new QLabel("(h:m:s)", box));
        h->addStretch();
        spans[static_cast<std::size_t>(s)] = box;
    }
    m_Repetitions = new QLineEdit(this);
    m_MaxFile = new QLineEdit(this);
    m_MaxFileUnit = new QComboBox(this);
    for (const char* unit : kTimeUnitNames) {
        m_MaxFileUnit->addItem(unit);
    }
    m_Channels.Build(this);

    int row = 1;
    m_Grid->addWidget(new QLabel("Window:", this), row, 0);
    m_Grid->addWidget(m_Window, row++, 1);
    m_Grid->addWidget(m_Enabled, row, 0);
    m_Grid->addWidget(new QLabel("Window Mode", this), row, 1);
    m_Grid->addWidget(m_Mode, row++, 2);
    m_Grid->addWidget(new QLabel("Start Time:", this), row, 0);
    m_Grid->addWidget(m_Start.box, row++, 1, 1, 2);
    m_Grid->addWidget(new QLabel("Duration:", this), row, 0);
    m_Grid->addWidget(spans[0], row++, 1, 1, 2);
    m_Grid->addWidget(new QLabel("Interval:", this), row, 0);
    m_Grid->addWidget(spans[1], row++, 1, 1, 2);
    m_Grid->addWidget(new QLabel("Repetitions:", this), row, 0);
    m_Grid->addWidget(m_Repetitions, row++, 1);
    m_Grid->addWidget(new QLabel("Max File Size:", this), row, 0);
    m_Grid->addWidget(m_MaxFile, row, 1);
    m_Grid->addWidget(m_MaxFileUnit, row++, 2);
    m_Grid->addWidget(m_Channels.box, row++, 0, 1, 3);
    m_Grid->setRowStretch(row, 1);

    for (QWidget* w :
         std::initializer_list<QWidget*>{m_Enabled, m_Mode, m_Repetitions, m_MaxFile}) {
        Watch(w);
    }
    for (QLineEdit* e : m_Start.edits) {
        Watch(e);
    }
    for (std::size_t k = 0; k < 6; ++k) {
        Watch(m_Channels.primary[k]);
        Watch(m_Channels.secondary[k]);
    }
    connect(m_MaxFileUnit, &QComboBox::activated, this, [this](int unit) {
        ReadControls();
        m_Model.ChangeMaxFileUnit(unit);
        Refresh();
        emit modified();
    });
    connect(m_Window, &QComboBox::activated, this, [this](int window) {
        ReadControls();
        std::string text;
        if (m_Model.Select(window, text) != 1 && !text.empty()) {
            emit message(link::kTellusCaption, QString::fromStdString(text));
        }
        Refresh(); // shows the chosen window, or returns the list to the current one
    });
}

int CIRDWindowPage::Validate() {
    ReadControls();
    std::string text;
    const int result = m_Model.ValidateCurrent(text);
    if (result != 1) {
        emit message(link::kTellusCaption, QString::fromStdString(text));
        Refresh();
    }
    return result;
}

int CIRDWindowPage::Collect(std::string& message) {
    ReadControls();
    message.clear();
    const int result = m_Model.ValidateCurrent(message);
    Refresh();
    return result == 1 ? 1 : 0;
}

void CIRDWindowPage::Refresh() {
    m_Refreshing = true;
    ShowDrive(m_Model.edit.drive);
    const IRWindow& w = m_Model.Current();
    m_Window->setCurrentIndex(m_Model.Selected());
    m_Enabled->setChecked(w.enabled);
    m_Mode->setCurrentIndex(w.mode);
    m_Start.Show(w.start);
    const int spans[6] = {w.duration.hours, w.duration.minutes, w.duration.seconds,
                          w.interval.hours, w.interval.minutes, w.interval.seconds};
    for (std::size_t k = 0; k < 6; ++k) {
        m_Span[k]->setText(k % 3 == 0 ? QString::number(spans[k])
                                      : QString::asprintf("%02d", spans[k]));
    }
    m_Repetitions->setText(QString::number(w.repetitions));
    m_MaxFile->setText(QString::number(w.maxFileValue));
    m_MaxFileUnit->setCurrentIndex(w.maxFileUnit);
    m_Channels.Show(w.channels);
    m_Refreshing = false;
}

void CIRDWindowPage::ReadControls() {
    m_Model.edit.drive = ChosenDrive(m_Model.edit.drive);
    IRWindow& w = m_Model.Current();
    w.enabled = m_Enabled->isChecked();
    w.mode = m_Mode->currentIndex();
    w.start = m_Start.Read(w.start, *this, "Start Time");
    auto span = [this](int first, const IRSpan& current, const std::string& name) {
        auto at = [this, first](int k) { return m_Span[static_cast<std::size_t>(first + k)]; };
        return IRSpan{
            static_cast<int>(ReadEntry(at(0), name + " hours", current.hours, CorrectWindowHours)),
            static_cast<int>(ReadEntry(at(1), name + " minutes", current.minutes, CorrectMinute)),
            static_cast<int>(ReadEntry(at(2), name + " seconds", current.seconds, CorrectMinute))};
    };
    w.duration = span(0, w.duration, "Duration");
    w.interval = span(3, w.interval, "Interval");
    w.repetitions = static_cast<std::uint32_t>(
        ReadEntry(m_Repetitions, "Repetitions", w.repetitions, CorrectRepetitions));
    const int unit = w.maxFileUnit;
    w.maxFileValue = static_cast<std::uint32_t>(
        ReadEntry(m_MaxFile, "Max File Size", w.maxFileValue,
                  [unit](long long v) { return CorrectMaxFileSize(v, unit); }));
    w.channels = m_Channels.Read();
}

} // namespace nereid::instrument
