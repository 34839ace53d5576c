#include "display/channel_bar.h"

#include <QGridLayout>
#include <QPushButton>

namespace nereid::display {

CChannelBar::CChannelBar(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setWindowTitle("Channel Selection");
    m_Grid = new QGridLayout(this);
    m_Grid->setSpacing(2);
    m_Grid->setContentsMargins(4, 4, 4, 4);
}

QPushButton* CChannelBar::AddButton(const QString& text, bool checkable) {
    const int position = static_cast<int>(m_Buttons.size());
    auto* button = new QPushButton(text, this);
    button->setCheckable(checkable);
    button->setProperty("command", kFirstCommand + position);
    m_Grid->addWidget(button, position / kButtonsPerRow, position % kButtonsPerRow);
    m_Buttons.push_back(button);
    return button;
}

void CChannelBar::Rebuild(const std::vector<QString>& names, const std::vector<bool>& pressed,
                          bool spectrumMode, bool fileDisplay) {
    for (QPushButton* button : m_Buttons)
        delete button;
    m_Buttons.clear();
    m_ChannelCount = static_cast<int>(names.size());
    for (int i = 0; i < m_ChannelCount; ++i) {
        QPushButton* button = AddButton(names[static_cast<std::size_t>(i)], true);
        // The state is set by the window after the click: the button only asks.
        connect(button, &QPushButton::clicked, this, [this, i] {
            if (m_Handlers.channel)
                m_Handlers.channel(i);
        });
    }
    QPushButton* mode = AddButton(spectrumMode ? "FFT" : "Time", false);
    connect(mode, &QPushButton::clicked, this, [this] {
        if (m_Handlers.mode)
            m_Handlers.mode();
    });
    if (fileDisplay) {
        connect(AddButton("Remove", false), &QPushButton::clicked, this, [this] {
            if (m_Handlers.remove)
                m_Handlers.remove();
        });
        connect(AddButton("Open File", false), &QPushButton::clicked, this, [this] {
            if (m_Handlers.openFile)
                m_Handlers.openFile();
        });
    }
    SetPressed(pressed, spectrumMode);
    adjustSize();
}

void CChannelBar::SetPressed(const std::vector<bool>& pressed, bool spectrumMode) {
    for (int i = 0; i < m_ChannelCount && i < static_cast<int>(pressed.size()); ++i)
        m_Buttons[static_cast<std::size_t>(i)]->setChecked(pressed[static_cast<std::size_t>(i)]);
    if (m_ChannelCount < static_cast<int>(m_Buttons.size()))
        m_Buttons[static_cast<std::size_t>(m_ChannelCount)]->setText(spectrumMode ? "FFT" : "Time");
}

} // namespace nereid::display
