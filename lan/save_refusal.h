#pragma once

#include <QString>

namespace r2 {

// Why the mirror must not be written back to a module now, from what the last read shows; the
// window words it in its language, r2ctl and the batch results take text().
struct SaveRefusal {
    enum class Reason {
        SeveralModules, // several modules answered the last read from one address
        OtherModule,    // the last read was of another module than the one to be saved
    };
    Reason reason = Reason::SeveralModules;
    QString readIp;   // the address the last read went to; empty when it was not known
    QString mac;      // the module to be saved, as the save names it
    QString macIp;    // that module's address from the search; empty when none came
    QString conflict; // SeveralModules: the words readConflict was raised with

    QString text() const;
};

} // namespace r2
