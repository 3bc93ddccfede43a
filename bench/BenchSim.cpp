#include "SimConsole.h"
#include "SimRequest.h"
#include "SimServerThread.h"

#include <QCoreApplication>
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace garrison::sim;

namespace {

// Sends `window` status requests at a time and waits for all their replies.
void statusOverLoopback(benchmark::State& state)
{
    const int window = static_cast<int>(state.range(0));
    garrison::bench::SimServerThread server(8);
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(server.port());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval timeout{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    const QByteArray request =
        SimRequest::encode(QStringLiteral("secret"), QStringLiteral("status"));
    char reply[2048];
    qint64 bytes = 0;

    for (auto _ : state) {
        for (int i = 0; i < window; ++i) {
            ::sendto(fd, request.constData(), static_cast<size_t>(request.size()), 0,
                     reinterpret_cast<const sockaddr*>(&to), sizeof to);
        }
        for (int i = 0; i < window; ++i) {
            const ssize_t got = ::recv(fd, reply, sizeof reply, 0);
            if (got <= 0) {
                state.SkipWithError("no reply");
                break;
            }
            bytes += got;
        }
    }
    ::close(fd);
    state.SetItemsProcessed(state.iterations() * window);
    state.SetBytesProcessed(bytes);
}
BENCHMARK(statusOverLoopback)->Arg(1)->Arg(8)->UseRealTime();

void statusInConsole(benchmark::State& state)
{
    SimSettings settings;
    settings.players = static_cast<int>(state.range(0));
    SimConsole console(settings);
    const QString command = QStringLiteral("status");
    for (auto _ : state) {
        benchmark::DoNotOptimize(console.execute(command));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(statusInConsole)->Arg(8)->Arg(40);

} // namespace
