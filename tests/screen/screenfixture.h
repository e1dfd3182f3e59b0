#pragma once
#include <QString>
#include <QThread>
#include <atomic>

// An application server stand-in that only answers greetings: each accepted
// connection is counted, greeted and kept open until the server stops.
class GreetingServer : public QThread {
public:
    GreetingServer();
    ~GreetingServer() override;
    int port() const { return port_.load(); }
    int greetings() const { return greetings_.load(); }
    // Points the suite's settings at this server.
    void useAsAppServer() const;

protected:
    void run() override;

private:
    std::atomic<int> port_{0};
    std::atomic<int> greetings_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> ready_{false};
};

// A fresh SQLite database under dir as the shared database module's
// connection, with two companies, the account pictures (four levels) and a
// small chart of accounts.
void seedDatabase(const QString& dir);
