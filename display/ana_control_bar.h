#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QSlider;

namespace nereid::display {

// The control bar on the left of the analysis window. It only holds the controls; the window
// connects them.
class CAnaControlBar : public QWidget {
public:
    explicit CAnaControlBar(QWidget* parent);

    void SetTimeRangeText(int index);
    void SetReadout(const QString& x, const QString& y);
    void ClearReadouts() { SetReadout({}, {}); }

    QPushButton* realTime; // "RealTime" / "Stop"
    QPushButton* fromFile; // "FromFile" / "CLOSE"
    QPushButton* timeMode; // "TIME": time/spectrum selection of the channel bar
    QPushButton* reset;    // "RESET": no action, disabled
    QScrollBar* timeRange; // 0..10
    QLabel* timeRangeText; // "%.1f"
    QScrollBar* viewScale; // file display: doubling steps of the window
    QLabel* viewScaleText;
    QLineEdit* xValue;
    QLineEdit* yValue;
    QComboBox* channelBox; // names of the channels with a time plot
    QLineEdit* scaleValue; // the selected channel's scale, "%d" ("000" when just added)
    QLineEdit* offsetValue;
    QComboBox* fftSize;    // 256 ... 8192
    QComboBox* binsShown;  // 16 ... 8192
    QSlider* timeGrid;     // "Grid Illumination Light Change"
    QSlider* spectrumGrid; // "Grid FFT Illumination Light Change"
};

} // namespace nereid::display
