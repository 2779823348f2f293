#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// One run of desk_process, with the lines it has reported so far.
class DeskProcess {
public:
    explicit DeskProcess(const QStringList& arguments) {
        m_process.setProgram(QStringLiteral(XINFANG_DESK_PROCESS));
        m_process.setArguments(arguments);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
    }
    ~DeskProcess() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(30000);
        }
    }
    DeskProcess(const DeskProcess&) = delete;
    DeskProcess& operator=(const DeskProcess&) = delete;

    bool started() { return m_process.waitForStarted(30000); }
    qint64 pid() const { return m_process.processId(); }

    // Waits until a reported line starts with prefix; false when the process ends or nothing comes
    // for a long while.
    bool waitForLine(const QString& prefix) {
        for (;;) {
            for (const QString& line : lines()) {
                if (line.startsWith(prefix)) {
                    return true;
                }
            }
            if (m_process.state() == QProcess::NotRunning || !m_process.waitForReadyRead(60000)) {
                collect();
                return false;
            }
        }
    }

    void write(const QByteArray& bytes) {
        m_process.write(bytes);
        m_process.waitForBytesWritten(30000);
    }
    void closeInput() { m_process.closeWriteChannel(); }

    // SIGKILL: no handler, no flush, no clean-up, as when the machine loses power under the program.
    void kill() { m_process.kill(); }

    bool waitForFinished(int ms = 300000) { return m_process.waitForFinished(ms); }
    bool exitedNormally() const { return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0; }

    // Whole lines reported so far; a line cut off by a kill is not one.
    QStringList lines() {
        collect();
        QStringList out = QString::fromUtf8(m_output).split(QLatin1Char('\n'));
        out.removeLast(); // the unfinished rest after the last line end, usually empty
        return out;
    }

private:
    void collect() { m_output += m_process.readAllStandardOutput(); }

    QProcess m_process;
    QByteArray m_output;
};
