// What TLS costs garrisond: logins per second over TLS against plain text (allow_plaintext),
// and connections alone (the handshake against a bare TCP connect). Daemon and client share
// this thread, as garrisond's one thread would serve its clients; the password is checked with
// the fewest PBKDF2 iterations garrisond allows, on garrisond's worker thread: the rates are
// per second of real time.
#include "AccountStore.h"
#include "DaemonConfig.h"
#include "DaemonServer.h"
#include "PasswordHash.h"

#include <QEventLoop>
#include <QFile>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <memory>

using namespace garrisond;

namespace {

class Daemon {
public:
    explicit Daemon(bool plaintext)
    {
        QFile conf(m_dir.filePath(QStringLiteral("garrisond.conf")));
        conf.open(QIODevice::WriteOnly);
        conf.write("rcon_password = pw\npbkdf2_iterations = 1000\nmax_clients = 10000\n"
                   "max_sessions_per_account = 10000\n" +
                   QByteArray(plaintext ? "allow_plaintext = true\n" : ""));
        conf.close();
        DaemonConfig config;
        QString error;
        if (!DaemonConfig::load(conf.fileName(), &config, &error)) {
            return;
        }
        AccountStore accounts(config.accountsPath);
        accounts.load(&error);
        accounts.put({QStringLiteral("alice"),
                      PasswordHash::create(QStringLiteral("alicepw"), 1000),
                      {QStringLiteral("admin")}});
        accounts.save(&error);
        m_server = std::make_unique<DaemonServer>(config);
        m_started = m_server->start(QHostAddress::LocalHost, 0);
    }
    bool started() const { return m_started; }
    quint16 port() const { return m_server->serverPort(); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<DaemonServer> m_server;
    bool m_started = false;
};

// Connects (with the handshake over TLS) and, with `login`, logs in; false on any failure.
bool visit(quint16 port, bool tls, bool login)
{
    QSslSocket socket;
    socket.setPeerVerifyMode(QSslSocket::VerifyNone);
    // Nagle's algorithm would hold the login until the handshake's last segment is
    // acknowledged, adding the peer's delayed acknowledgement (40 ms) to every login.
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QEventLoop loop;
    bool done = false;
    const auto ready = [&] {
        if (!login) {
            done = true;
            loop.quit();
            return;
        }
        socket.write("alice:alicepw-admin");
    };
    QObject::connect(&socket, tls ? &QSslSocket::encrypted : &QSslSocket::connected, &loop, ready);
    QObject::connect(&socket, &QSslSocket::readyRead, &loop, [&] {
        done = socket.readAll() == "admin";
        loop.quit();
    });
    QObject::connect(&socket, &QSslSocket::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    if (tls) {
        socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    } else {
        socket.connectToHost(QHostAddress::LocalHost, port);
    }
    loop.exec();
    socket.abort();
    return done;
}

void run(benchmark::State& state, bool login)
{
    const bool tls = state.range(0) == 1;
    const Daemon daemon(!tls);
    if (!daemon.started()) {
        state.SkipWithError("the daemon did not start");
        return;
    }
    for (auto _ : state) {
        if (!visit(daemon.port(), tls, login)) {
            state.SkipWithError("a visit failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(tls ? "TLS" : "plain text");
}

void logins(benchmark::State& state)
{
    run(state, true);
}
BENCHMARK(logins)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

void connections(benchmark::State& state)
{
    run(state, false);
}
BENCHMARK(connections)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

} // namespace
