#pragma once

#include <QApplication>
#include <QCursor>

// Shows the busy cursor for the whole application while it lives, when asked to; the default
// cursor comes back on every way out, an error included.
class TBusyCursor {
public:
    explicit TBusyCursor(bool AShow = true) : FShown(AShow) {
        if (FShown) QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~TBusyCursor() {
        if (FShown) QApplication::restoreOverrideCursor();
    }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;

private:
    bool FShown;
};
