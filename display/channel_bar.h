#pragma once

#include <functional>
#include <vector>

#include <QString>
#include <QWidget>

class QGridLayout;
class QPushButton;

namespace nereid::display {

// The floating "Channel Selection" bar: one check button per channel, three per row, then the
// mode button ("Time" / "FFT") and, in file display, "Remove" and "Open File". Buttons carry
// the command numbers from 1200 on in their order.
class CChannelBar : public QWidget {
public:
    static constexpr int kFirstCommand = 1200;
    static constexpr int kButtonsPerRow = 3;

    struct Handlers {
        std::function<void(int channel)> channel;
        std::function<void()> mode;
        std::function<void()> remove;
        std::function<void()> openFile;
    };

    explicit CChannelBar(QWidget* parent);
    void SetHandlers(Handlers handlers) { m_Handlers = std::move(handlers); }

    // Rebuilds the buttons: channel names with their pressed states, the mode button, and the
    // two file buttons when `fileDisplay`.
    void Rebuild(const std::vector<QString>& names, const std::vector<bool>& pressed,
                 bool spectrumMode, bool fileDisplay);
    void SetPressed(const std::vector<bool>& pressed, bool spectrumMode);

    const std::vector<QPushButton*>& Buttons() const { return m_Buttons; }
    QGridLayout* Grid() const { return m_Grid; }

private:
    QPushButton* AddButton(const QString& text, bool checkable);

    QGridLayout* m_Grid;
    std::vector<QPushButton*> m_Buttons;
    int m_ChannelCount = 0;
    Handlers m_Handlers;
};

} // namespace nereid::display
