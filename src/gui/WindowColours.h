#pragma once

#include <QColor>

class QWidget;

// The colours the two windows paint themselves with, beyond what the style's palette gives: the
// window's own light colours, or dark shades of the same hues while "Windows10 Dark" is in
// effect. In both visual styles every text stands at a contrast of 4.5:1 or more against its
// background; the plain look keeps the window's colours exactly.
struct TWindowColours {
    QColor Window, TopBar, StatsBar, FilterBar, ActionBar;
    QColor Title;
    QColor IdleCircle, IdleText;
    QColor ConnectedCircle, ConnectedText, NotConnectedCircle, NotConnectedText;
    QColor SoundOn, SoundOff, Complete;
    // The counter boxes: background, background while theirs is the current filter, text.
    QColor Pending, PendingCurrent, PendingText;
    QColor Completed, CompletedCurrent, CompletedText;
    QColor Total, TotalCurrent, TotalText;
    QColor PendingRow;
    QColor DialogHeader, DialogContent, DialogFooter;

    // The colours of the style in effect.
    static const TWindowColours& Current();
    static const TWindowColours& Plain();
    static const TWindowColours& Light();
    static const TWindowColours& Dark();
};

// A widget's own fill, and the colour of its text, set through its palette.
void PaintBackground(QWidget* AWidget, const QColor& AColour);
void PaintText(QWidget* AWidget, const QColor& AColour);
