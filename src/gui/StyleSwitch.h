#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// Tells the open windows that the style has been switched, so that they repaint what they colour
// themselves.
class TStyleSignals : public QObject {
    Q_OBJECT
signals:
    void Switched();
};

// The program's visual styles: "Windows10 Blue" and "Windows10 Dark", carried as resources, and
// "Windows", the platform's own plain look. Names are compared without regard to letter case.
class TStyleSwitch {
public:
    static QStringList Names();

    // Switches the whole application to the style named. An unknown name leaves the look as it
    // is and, when AReportErrors, shows "Style '<name>' not found". Returns whether it switched.
    static bool SetStyle(const QString& AName, bool AReportErrors = true);

    // The name of the style in effect.
    static QString Active();

    // Raises Switched after every switch, once the new style is wholly in effect.
    static TStyleSignals& Signals();
};
