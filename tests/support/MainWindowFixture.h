#pragma once

#include "FakeDialogs.h"
#include "UdpPeer.h"
#include "app/MainWindow.h"
#include "rcon/RconDatagram.h"

#include <memory>

namespace garrison::test {

// A shown main window with recorded boxes, and a loopback peer playing the game server.
struct MainWindowFixture {
    static inline const QString kPassword = QStringLiteral("pw");

    std::unique_ptr<FakeDialogs> dialogs = std::make_unique<FakeDialogs>();
    std::unique_ptr<UdpPeer> peer = std::make_unique<UdpPeer>();
    std::unique_ptr<MainWindow> main = std::make_unique<MainWindow>(*dialogs);

    MainWindowFixture() { main->show(); }

    // Logs in to the peer; true once its first "status" has arrived.
    bool connect()
    {
        main->takeLoginValues(QStringLiteral("127.0.0.1"), peer->portText(), kPassword);
        return main->Connect() && peer->waitFor(1);
    }
    static QByteArray request(const QString& command)
    {
        return RconDatagram::request(kPassword, command);
    }
};

} // namespace garrison::test
