#include "instrument/configuration/channel_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>

#include "instrument/configuration/config_widgets.h"

namespace nereid::instrument {

CChannelPage::CChannelPage(CPageModel& page, CChannelPageModel& model, QWidget* parent)
    : CConfigPage(page, parent), m_Model(model) {
    auto* grid = new QGridLayout(this);
    const char* headings[] = {"Channel", "Enable", "Primary", "Secondary"};
    for (int col = 0; col < 4; ++col) {
        grid->addWidget(new QLabel(QString::fromLatin1(headings[col]), this), 0, col);
    }
    for (int k = 1; k <= 6; ++k) {
        const std::size_t i = static_cast<std::size_t>(k - 1);
        grid->addWidget(new QLabel(QString::number(k), this), k, 0);
        m_Enabled[i] = new QCheckBox(this);
        m_PrimaryTexts[i] = new QLabel(this);
        m_SecondaryTexts[i] = new QLabel(this);
        grid->addWidget(m_Enabled[i], k, 1);
        grid->addWidget(m_PrimaryTexts[i], k, 2);
        grid->addWidget(m_SecondaryTexts[i], k, 3);
        connect(m_Enabled[i], &QCheckBox::toggled, this,
                [this, k](bool on) { m_Model.SetEnabled(k, on); });
    }
    QStringList standard;
    for (const RateChoice& c : StandardRateList()) {
        standard << QString::asprintf("%d", c.samplesPerSecond);
    }
    const char* titles[] = {"Channels 1 - 3 (samples/s)", "Channels 4 - 6 (samples/s)"};
    for (int g = 0; g < 2; ++g) {
        auto* box = new QGroupBox(QString::fromLatin1(titles[g]), this);
        auto* layout = new QGridLayout(box);
        m_Primary[static_cast<std::size_t>(g)] = new QComboBox(box);
        m_Primary[static_cast<std::size_t>(g)]->addItems(standard);
        m_Secondary[static_cast<std::size_t>(g)] = new QComboBox(box);
        m_Secondary[static_cast<std::size_t>(g)]->addItems(standard);
        layout->addWidget(new QLabel(QStringLiteral("Primary"), box), 0, 0);
        layout->addWidget(m_Primary[static_cast<std::size_t>(g)], 0, 1);
        layout->addWidget(new QLabel(QStringLiteral("Secondary"), box), 1, 0);
        layout->addWidget(m_Secondary[static_cast<std::size_t>(g)], 1, 1);
        grid->addWidget(box, 7 + g, 0, 1, 4);
        connect(m_Primary[static_cast<std::size_t>(g)], &QComboBox::activated, this,
                [this, g](int index) {
                    m_Model.ChoosePrimary(g, index);
                    LoadSecondary(g);
                    ShowRates();
                    if (m_PrimaryChanged) {
                        m_PrimaryChanged();
                    }
                });
        connect(m_Secondary[static_cast<std::size_t>(g)], &QComboBox::activated, this,
                [this, g](int index) {
                    const auto list = m_Model.SecondaryList(g);
                    if (index >= 0 && static_cast<std::size_t>(index) < list.size()) {
                        m_Model.ChooseSecondary(g, list[static_cast<std::size_t>(index)]);
                    }
                    ShowRates();
                });
        const bool present = m_Model.GroupPresent(g);
        m_Primary[static_cast<std::size_t>(g)]->setEnabled(present);
        m_Secondary[static_cast<std::size_t>(g)]->setEnabled(present);
    }
    grid->setRowStretch(9, 1);
    Load();
}

void CChannelPage::Load() {
    for (int k = 1; k <= 6; ++k) {
        const std::size_t i = static_cast<std::size_t>(k - 1);
        SetTicked(m_Enabled[i], m_Model.Enabled(k));
        m_Enabled[i]->setEnabled(m_Model.ChannelPresent(k));
    }
    for (int g = 0; g < 2; ++g) {
        SelectPosition(m_Primary[static_cast<std::size_t>(g)], m_Model.Group(g).primaryPosition);
        m_Primary[static_cast<std::size_t>(g)]->setEnabled(m_Model.GroupPresent(g));
        m_Secondary[static_cast<std::size_t>(g)]->setEnabled(m_Model.GroupPresent(g));
        LoadSecondary(g);
    }
    ShowRates();
}

void CChannelPage::Activate() {
    for (int g = 0; g < 2; ++g) {
        m_Model.RebuildSecondary(g);
        LoadSecondary(g);
    }
    ShowRates();
}

void CChannelPage::LoadSecondary(int group) {
    QComboBox* box = m_Secondary[static_cast<std::size_t>(group)];
    const QSignalBlocker block(box);
    box->clear();
    const auto list = m_Model.SecondaryList(group);
    int selected = -1;
    for (std::size_t i = 0; i < list.size(); ++i) {
        box->addItem(QString::asprintf("%d", list[i]));
        if (list[i] == m_Model.Group(group).secondaryRate) {
            selected = static_cast<int>(i);
        }
    }
    box->setCurrentIndex(selected);
}

void CChannelPage::ShowRates() {
    for (int k = 1; k <= 6; ++k) {
        const int g = k <= 3 ? CChannelPageModel::kGroupA : CChannelPageModel::kGroupB;
        const int primary = m_Model.PrimaryRate(g);
        const int secondary = m_Model.Group(g).secondaryRate;
        m_PrimaryTexts[static_cast<std::size_t>(k - 1)]->setText(
            primary > 0 ? QString::asprintf("%d", primary) : QString());
        m_SecondaryTexts[static_cast<std::size_t>(k - 1)]->setText(
            secondary > 0 ? QString::asprintf("%d", secondary) : QString());
    }
}

} // namespace nereid::instrument
