#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

namespace garrison {

// The log worker Form5 ("PBUCON"): never shown. Once loaded it starts the relay and, every
// Timer1 tick, reads the relay's whole log again, filters it and offers the result for the
// chat box.
class RelayLogWorker : public QObject {
    Q_OBJECT

public:
    static constexpr int kTickMs = 5000;
    static inline const QString kRelayProgram = QStringLiteral("pbucon.exe");
    static inline const QStringList kRelayArguments = {QStringLiteral("ini=codwaw.ini")};

    // Starts a program that outlives this one: program, arguments, working folder.
    using Starter = std::function<bool(const QString&, const QStringList&, const QString&)>;

    explicit RelayLogWorker(QObject* parent = nullptr);

    void setStarter(Starter starter) { m_starter = std::move(starter); }
    void setTickInterval(int ms) { m_Timer1.setInterval(ms); }

    // Starts the relay from the application folder (a failed start is not reported: the tail
    // then finds no log) and switches Timer1 on.
    void Form_Load();
    // One Timer1 tick.
    void Timer1_Timer();

    const QTimer& Timer1() const { return m_Timer1; }
    const QString& Text2() const { return m_Text2; }
    const QString& Text7() const { return m_Text7; }

Q_SIGNALS:
    // A filtered log worth showing: it replaces the chat box's text.
    void logFiltered(const QString& text);

private:
    QTimer m_Timer1;
    Starter m_starter;
    QString m_Text2;
    QString m_Text7;
};

} // namespace garrison
