// The right-click menus of the analysis view, "File Info" and printing.
#include "display/ana_view.h"

#include <QActionGroup>
#include <QColorDialog>
#include <QDialog>
#include <QFormLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPrinter>

#include "display/model/header_info.h"

namespace nereid::display {

using model::PlotChannel;

namespace {

const char* const kColourNames[] = {"Black", "Red", "Green", "Blue", "Yellow", "White"};
// The spectrum menu spells its background colours its own way.
const char* const kSpectrumBackgroundNames[] = {"Black", "Red", "Green", "BLUE", "YELLOW", "WHITE"};

QAction* AddChoice(QMenu* menu, const QString& text, bool checked, std::function<void()> act) {
    QAction* action = menu->addAction(text);
    action->setCheckable(true);
    action->setChecked(checked);
    QObject::connect(action, &QAction::triggered, menu, [act = std::move(act)] { act(); });
    return action;
}

} // namespace

QMenu* CAnaView::ContextMenuAt(QPoint position) {
    const Slot* hit = nullptr;
    const std::vector<Slot> placed = Layout(size());
    for (const Slot& slot : placed) {
        if (slot.band.contains(position)) {
            hit = &slot;
            break;
        }
    }
    if (hit == nullptr)
        return nullptr;
    m_Menu = std::make_unique<QMenu>(hit->spectrum ? "2" : "1");
    QMenu* menu = m_Menu.get();
    PlotChannel* c = hit->channel;
    const int index = hit->index;
    const auto changed = [this] {
        update();
        if (onChanged)
            onChanged();
    };
    if (!hit->spectrum) {
        QMenu* range = menu->addMenu("Range");
        AddChoice(range, "Auto", c->autoRange, [=, this] {
            c->autoRange = true;
            c->timeFit.Reset();
            StoreProfile(*c);
            changed();
        });
        range->addSeparator();
        for (int i = 0; i < static_cast<int>(model::kAmplitudeRanges.size()); ++i) {
            const std::uint32_t value = model::kAmplitudeRanges[static_cast<std::size_t>(i)];
            AddChoice(range, model::AmplitudeRangeLabel(i), !c->autoRange && c->range == value,
                      [=, this] {
                          c->range = value;
                          c->autoRange = false;
                          StoreProfile(*c);
                          changed();
                      });
        }
        QMenu* colour = menu->addMenu("Curve Color");
        for (int i = 0; i < 6; ++i) {
            const std::uint32_t value = model::kColourCodes[static_cast<std::size_t>(i)];
            AddChoice(colour, kColourNames[i], c->colour == value, [=, this] {
                c->colour = value;
                StoreProfile(*c);
                changed();
            });
        }
        colour->addAction("Custom Color", this, [=, this] {
            const QColor chosen =
                QColorDialog::getColor(QColor(int(c->colour & 0xFF), int((c->colour >> 8) & 0xFF),
                                              int((c->colour >> 16) & 0xFF)),
                                       this);
            if (!chosen.isValid())
                return;
            c->colour = static_cast<std::uint32_t>(chosen.red() | chosen.green() << 8 |
                                                   chosen.blue() << 16);
            StoreProfile(*c);
            changed();
        });
        QMenu* background = menu->addMenu("Background Color");
        for (int i = 0; i < 6; ++i) {
            AddChoice(background, kColourNames[i], m_TimeBackground == std::uint32_t(i), [=, this] {
                m_TimeBackground = static_cast<std::uint32_t>(i);
                changed();
            });
        }
        menu->addAction("Status Info")->setEnabled(false);
    } else {
        QMenu* mode = menu->addMenu("FFT Output Mode");
        const char* const modes[] = {"Power Spectrum", "Amplitude Spectrum", "Log(1+Amplitude)"};
        for (int i = 0; i < 3; ++i) {
            AddChoice(mode, modes[i], c->spectrumMode == i, [=] {
                c->spectrumMode = i;
                c->spectrumFit.Reset(); // another mode, another scale
                changed();
            });
        }
        QMenu* range = menu->addMenu("Range");
        AddChoice(range, "Auto", c->autoSpectrumRange, [=] {
            c->autoSpectrumRange = true;
            c->spectrumFit.Reset();
            changed();
        });
        range->addSeparator();
        for (int i = 0; i < static_cast<int>(model::kSpectrumRanges.size()); ++i) {
            const std::uint32_t value = model::kSpectrumRanges[static_cast<std::size_t>(i)];
            AddChoice(range, model::SpectrumRangeLabel(i),
                      !c->autoSpectrumRange && c->spectrumRange == value, [=] {
                          c->spectrumRange = value;
                          c->autoSpectrumRange = false;
                          changed();
                      });
        }
        QMenu* colour = menu->addMenu("Curve Color");
        for (int i = 0; i < 6; ++i) {
            const std::uint32_t value = model::kColourCodes[static_cast<std::size_t>(i)];
            AddChoice(colour, kColourNames[i], c->spectrumColour == value, [=] {
                c->spectrumColour = value;
                changed();
            });
        }
        QMenu* background = menu->addMenu("BackGround Color");
        for (int i = 0; i < 6; ++i) {
            AddChoice(background, kSpectrumBackgroundNames[i],
                      m_SpectrumBackground == std::uint32_t(i), [=, this] {
                          m_SpectrumBackground = static_cast<std::uint32_t>(i);
                          changed();
                      });
        }
    }
    QAction* info = menu->addAction("File Info", this, [=, this] { ShowFileInfo(*c); });
    info->setEnabled(m_Source == Source::kFile && File(index) != nullptr);
    info->setData(index);
    return menu;
}

void CAnaView::ShowFileInfo(const PlotChannel& channel) {
    const std::vector<PlotChannel*> list = Channels();
    const auto it = std::find(list.begin(), list.end(), &channel);
    const FileEntry* entry = it == list.end() ? nullptr : File(static_cast<int>(it - list.begin()));
    if (entry == nullptr)
        return;
    QDialog dialog(this);
    dialog.setObjectName("HeaderInformation");
    dialog.setWindowTitle("Header Information");
    auto* form = new QFormLayout(&dialog);
    for (const auto& [label, text] : model::HeaderInfo(entry->file))
        form->addRow(QString::fromStdString(label), new QLabel(QString::fromStdString(text)));
    dialog.exec();
}

void CAnaView::Print(QPrinter& printer) {
    QPainter painter(&printer);
    const QRect page = painter.viewport();
    const QSize area = size();
    const double scale =
        std::min(double(page.width()) / area.width(), double(page.height()) / area.height());
    painter.scale(scale, scale);
    Render(painter, area);
}

} // namespace nereid::display
