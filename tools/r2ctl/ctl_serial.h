#pragma once
// One `r2ctl serial read|write` run: the window's serial read and save, done by the same
// SerialExchange on a TComm of its own, with the panels filled by the same fills.
//
// A read is good when the model's replies came: for a P6 both its read reply and its cloud
// and heartbeat reply, for a P5 or P7 a 32-byte reply with a right head and checksum. A write
// first reads (and stops there unless the read was good), applies the values to the panel
// read, encodes everything, and only then saves; it is good when the module answered 'K'.

#include "protocol/panel_p5.h"
#include "protocol/panel_p6.h"
#include "protocol/panel_p6_reader.h"
#include "serial/SPComm.h"
#include "serial/Unit_Comm.h"
#include "tools/r2ctl/ctl_args.h"
#include "tools/r2ctl/ctl_output.h"

#include <QJsonArray>
#include <QObject>
#include <QTextStream>
#include <vector>

namespace r2::ctl {

class SerialSession final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SerialSession)

public:
    SerialSession(const CtlOptions& options, QTextStream& out, QTextStream& err);

    // Runs the serial action of the options; returns the exit status.
    int run();

private:
    int runRead();
    int runWrite();
    // Runs the action just started until it finished.
    void waitForAction();
    // The status of the read that just ran, with its message on standard error.
    int readStatus();
    // The status of the save that just ran, with its message on standard error.
    int saveStatus();
    // Why a port could not be opened, and what to do about it.
    QString openFailure() const;
    // Why chunks that came were no reply.
    QString unrecognised(int chunks) const;
    int fail(int status, const QString& message);
    // Why the values cannot go to a module of the model, naming the control; empty when they
    // can.
    QString checkValues(const std::vector<SetValue>& values) const;

    bool isP6() const { return m_options.model == QLatin1String("p6"); }
    int devFlag() const;
    QString speedText() const { return QString::number(m_options.baud); }
    QJsonObject panelJson() const;
    void printPanel();
    void printDocument(bool withPanel);
    void echo(const char* direction, const QByteArray& bytes, SerialDirection way, bool ok = true);

    const CtlOptions m_options;
    QTextStream& m_out;
    QTextStream& m_err;
    TComm m_comm;
    ParamMirror m_mirror;
    SerialExchange m_exchange{m_comm, m_mirror};
    PanelP6 m_p6;
    PanelP6Reader m_reader{m_p6}; // the serial replies of a P6 module into m_p6
    PanelP5 m_p5;
    bool m_p5Filled = false;
    QJsonArray m_frames;
};

} // namespace r2::ctl
