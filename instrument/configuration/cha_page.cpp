#include "instrument/configuration/cha_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

#include "instrument/configuration/config_widgets.h"

namespace nereid::instrument {

CChaPage::CChaPage(CPageModel& page, CChaPageModel& model, QWidget* parent)
    : CConfigPage(page, parent), m_Model(model) {
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Channel"), this), 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("Enable"), this), 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Sample Rate"), this), 1, 2);
    const char* headings[] = {"Auth Data Frame Enable", "Local", "Main", "Auth Gen.", "Enable"};
    const int rows[] = {0, 1, 1, 0, 1};
    const int cols[] = {3, 3, 4, 5, 5};
    for (std::size_t i = 0; i < m_AuthHeadings.size(); ++i) {
        m_AuthHeadings[i] = new QLabel(QString::fromLatin1(headings[i]), this);
        grid->addWidget(m_AuthHeadings[i], rows[i], cols[i], 1, i == 0 ? 2 : 1);
    }
    for (int r = 0; r < CChaPageModel::kRows; ++r) {
        Row& row = m_Rows[static_cast<std::size_t>(r)];
        row.label = new QLabel(this);
        row.enabled = new QCheckBox(this);
        row.rate = new QComboBox(this);
        row.authLocal = new QCheckBox(this);
        row.authMain = new QCheckBox(this);
        row.authGeneration = new QCheckBox(this);
        QWidget* cells[] = {row.label,     row.enabled,  row.rate,
                            row.authLocal, row.authMain, row.authGeneration};
        for (int col = 0; col < 6; ++col) {
            grid->addWidget(cells[col], r + 2, col);
        }
        auto flag = [this, r](QCheckBox* box, bool ChaRow::*field) {
            connect(box, &QCheckBox::toggled, this, [this, r, field](bool on) {
                m_Model.Row(r).*field = on;
                m_Model.MarkModified();
            });
        };
        flag(row.enabled, &ChaRow::enabled);
        flag(row.authLocal, &ChaRow::authLocal);
        flag(row.authMain, &ChaRow::authMain);
        flag(row.authGeneration, &ChaRow::authGeneration);
        // One common primary rate: a choice in any row sets every row.
        connect(row.rate, &QComboBox::activated, this, [this](int index) {
            m_Model.ChooseRate(index);
            Load();
        });
    }
    m_SohLocal = new QCheckBox(QStringLiteral("Enable SOH Data Frame On Local Serial Port"), this);
    m_SohMain = new QCheckBox(QStringLiteral("Enable SOH Data Frame On Main Serial Port"), this);
    // 240 x 20 at least; the text is longer than 240 px in larger fonts.
    for (QCheckBox* box : {m_SohLocal, m_SohMain}) {
        box->setMinimumWidth(240);
        box->setFixedHeight(20);
    }
    grid->addWidget(m_SohLocal, CChaPageModel::kRows + 2, 0, 1, 6);
    grid->addWidget(m_SohMain, CChaPageModel::kRows + 3, 0, 1, 6);
    grid->setRowStretch(CChaPageModel::kRows + 4, 1);
    connect(m_SohLocal, &QCheckBox::toggled, this, [this](bool on) {
        m_Model.sohLocal = on;
        m_Model.MarkModified();
    });
    connect(m_SohMain, &QCheckBox::toggled, this, [this](bool on) {
        m_Model.sohMain = on;
        m_Model.MarkModified();
    });
    Open();
}

void CChaPage::Open() {
    QStringList rates;
    for (const RateChoice& c : m_Model.RateList()) {
        rates << QString::asprintf("%i", c.samplesPerSecond);
    }
    const bool auth = m_Model.AuthenticationShown();
    for (QLabel* heading : m_AuthHeadings) {
        heading->setVisible(auth);
    }
    for (int r = 0; r < CChaPageModel::kRows; ++r) {
        Row& row = m_Rows[static_cast<std::size_t>(r)];
        const bool shown = r < m_Model.VisibleRows();
        row.label->setText(QString::fromStdString(m_Model.RowLabel(r)));
        {
            const QSignalBlocker block(row.rate);
            row.rate->clear();
            row.rate->addItems(rates);
        }
        for (QWidget* w : {static_cast<QWidget*>(row.label), static_cast<QWidget*>(row.enabled),
                           static_cast<QWidget*>(row.rate)}) {
            w->setVisible(shown);
        }
        for (QCheckBox* box : {row.authLocal, row.authMain, row.authGeneration}) {
            box->setVisible(shown && auth);
        }
    }
    m_SohLocal->setVisible(auth);
    m_SohMain->setVisible(auth);
    Load();
}

void CChaPage::Load() {
    for (int r = 0; r < CChaPageModel::kRows; ++r) {
        const ChaRow& values = m_Model.Row(r);
        Row& row = m_Rows[static_cast<std::size_t>(r)];
        SetTicked(row.enabled, values.enabled);
        SetTicked(row.authLocal, values.authLocal);
        SetTicked(row.authMain, values.authMain);
        SetTicked(row.authGeneration, values.authGeneration);
        SelectPosition(row.rate, values.ratePosition);
    }
    SetTicked(m_SohLocal, m_Model.sohLocal);
    SetTicked(m_SohMain, m_Model.sohMain);
}

} // namespace nereid::instrument
