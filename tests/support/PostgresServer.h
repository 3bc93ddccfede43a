#pragma once

#include "history/HistoryConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <memory>
#include <pwd.h>
#include <unistd.h>

namespace garrison::test {

// A PostgreSQL server of the test's own on 127.0.0.1, in a temporary folder. The server
// refuses to run as root, so under root it runs as "nobody" on a folder that user owns.
class PostgresServer {
public:
    ~PostgresServer() { stop(); }

    // Empty when it runs; otherwise why not.
    QString start()
    {
        QStringList folders;
        const QDir versions(QStringLiteral("/usr/lib/postgresql"));
        for (const QString& version : versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            folders << versions.filePath(version + "/bin");
        }
        QString initdb = QStandardPaths::findExecutable(QStringLiteral("initdb"), folders);
        if (initdb.isEmpty() && (initdb = QStandardPaths::findExecutable("initdb")).isEmpty()) {
            return QStringLiteral("no PostgreSQL server binaries (install the Debian package "
                                  "postgresql)");
        }
        m_bin = QFileInfo(initdb).absolutePath();
        m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                QStringLiteral("/garrison-pg-XXXXXX"));
        if (geteuid() == 0) {
            const passwd* nobody = getpwnam("nobody");
            if (!nobody || chown(QFile::encodeName(m_dir->path()).constData(), nobody->pw_uid,
                                 nobody->pw_gid) != 0) {
                return QStringLiteral("cannot hand the data folder to user nobody");
            }
        }
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        m_port = probe.serverPort();
        probe.close();
        if (!run(QStringLiteral("initdb"), {"-D", data(), "-U", "garrison", "-A", "trust",
                                            "--no-sync", "-E", "UTF8", "--locale=C"})) {
            return QStringLiteral("initdb failed: ") + m_output;
        }
        return resume() ? QString() : QStringLiteral("the server did not start: ") + m_output;
    }
    // With TLS on, the server shows a self-signed certificate for 127.0.0.1 (tlsAuthority()).
    bool resume(bool tls = false)
    {
        QString options =
            QStringLiteral("-h 127.0.0.1 -p %1 -k %2 -F").arg(m_port).arg(m_dir->path());
        if (tls) {
            if (!makeCertificate(QStringLiteral("server"), QStringLiteral("127.0.0.1"))) {
                return false;
            }
            options += QStringLiteral(" -c ssl=on -c ssl_cert_file=%1 -c ssl_key_file=%2")
                           .arg(tlsAuthority(), m_dir->filePath("server.key"));
        }
        return m_running =
                   run(QStringLiteral("pg_ctl"), {"-D", data(), "-l", m_dir->filePath("log"), "-w",
                                                  "-t", "30", "-o", options, "start"});
    }
    QString tlsAuthority() const { return m_dir->filePath(QStringLiteral("server.crt")); }
    // A self-signed certificate for name, in name.crt (the key in name.key, the server's own).
    bool makeCertificate(const QString& name, const QString& address)
    {
        const QString key = m_dir->filePath(name + QStringLiteral(".key"));
        QProcess openssl;
        openssl.setProcessChannelMode(QProcess::MergedChannels);
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                       "-nodes", "-days", "2", "-subj", "/CN=" + address, "-addext",
                       "subjectAltName=IP:" + address, "-keyout", key, "-out",
                       m_dir->filePath(name + QStringLiteral(".crt"))});
        if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0) {
            m_output = QString::fromLocal8Bit(openssl.readAll());
            return false;
        }
        // The server reads its key only when no one else may.
        QFile::setPermissions(key, QFile::ReadOwner | QFile::WriteOwner);
        if (geteuid() == 0) {
            const passwd* nobody = getpwnam("nobody");
            return nobody &&
                   chown(QFile::encodeName(key).constData(), nobody->pw_uid, nobody->pw_gid) == 0;
        }
        return true;
    }
    QString folder() const { return m_dir->path(); }
    void stop()
    {
        if (m_running) {
            run(QStringLiteral("pg_ctl"), {"-D", data(), "-m", "fast", "-w", "stop"});
            m_running = false;
        }
    }
    HistoryConnection connection() const
    {
        HistoryConnection connection;
        connection.kind = HistoryConnection::Kind::Postgres;
        connection.host = QStringLiteral("127.0.0.1");
        connection.port = m_port;
        connection.database = QStringLiteral("postgres");
        connection.user = QStringLiteral("garrison");
        return connection;
    }

private:
    QString data() const { return m_dir->filePath(QStringLiteral("data")); }
    // Keeps the tool's output for the failure message.
    bool run(const QString& tool, const QStringList& arguments)
    {
        QProcess process;
        QString program = m_bin + QLatin1Char('/') + tool;
        QStringList all = arguments;
        if (geteuid() == 0) {
            all = QStringList{"-u", "nobody", "--", program} + arguments;
            program = QStringLiteral("runuser");
        }
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setWorkingDirectory(m_dir->path());
        process.start(program, all);
        const bool ok = process.waitForFinished(60000) &&
                        process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
        m_output = QString::fromLocal8Bit(process.readAll());
        return ok;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_bin;
    QString m_output;
    quint16 m_port = 0;
    bool m_running = false;
};

} // namespace garrison::test
