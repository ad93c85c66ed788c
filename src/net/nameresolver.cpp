#include "net/nameresolver.h"

#include "net/neterror.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSet>

#include <algorithm>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

class TCentre;

// What the lookup threads share with the GUI thread: where to post their answers, while there is anywhere. Never
// freed, so that a thread still in the name service when the process ends finds it.
struct TMailbox {
    std::mutex Mutex;
    TCentre* Centre = nullptr;
};

TMailbox& Mailbox() {
    static TMailbox* const mailbox = new TMailbox;
    return *mailbox;
}

struct TRequest {
    QByteArray Name;
    QPointer<QObject> Receiver;
    TNameResolver::TAnswer Answer;
};

// The GUI thread's side, a child of the application object: who waits for which name, which names are being looked
// up and which wait for a thread. Once it is gone (with the application), no thread posts anything.
class TCentre : public QObject {
public:
    explicit TCentre(QObject* application)
        : QObject(application) {
        const std::lock_guard lock(Mailbox().Mutex);
        Mailbox().Centre = this;
    }

    ~TCentre() override {
        // A thread posting now finishes before the centre goes; one coming later finds no centre.
        const std::lock_guard lock(Mailbox().Mutex);
        if (Mailbox().Centre == this) {
            Mailbox().Centre = nullptr;
        }
    }

    quint64 Add(const QByteArray& name, QObject* receiver, TNameResolver::TAnswer answer) {
        const quint64 ticket = ++LastTicket;
        Requests.emplace(ticket, TRequest{name, receiver, std::move(answer)});
        if (!Running.contains(name) && !Waiting.contains(name)) {
            if (Running.size() < TNameResolver::MaxThreads) {
                Start(name);
            } else {
                Waiting.append(name);
            }
        }
        return ticket;
    }

    void Cancel(quint64 ticket) {
        const auto request = Requests.find(ticket);
        if (request == Requests.end()) {
            return;
        }
        const QByteArray name = request->second.Name;
        Requests.erase(ticket);
        const bool wanted = std::any_of(Requests.cbegin(), Requests.cend(),
                                        [&name](const auto& other) { return other.second.Name == name; });
        if (!wanted) {
            Waiting.removeAll(name); // a running lookup cannot be stopped; its answer goes to nobody
        }
    }

private:
    void Start(const QByteArray& name) {
        Running.insert(name);
        try {
            std::thread([name] {
                const QList<TSocketAddress> addresses = ResolveName(name);
                const std::lock_guard lock(Mailbox().Mutex);
                if (TCentre* centre = Mailbox().Centre) {
                    QMetaObject::invokeMethod(
                        centre,
                        [centre, name, addresses] {
                            centre->Finish(name, addresses,
                                           addresses.isEmpty() ? NetError::HostNotFound : NetError::None);
                        },
                        Qt::QueuedConnection);
                }
            }).detach();
        } catch (const std::system_error&) {
            // No thread to be had (the process's limit reached): the lookup fails now, not at the caller's timeout.
            QMetaObject::invokeMethod(
                this, [this, name] { Finish(name, {}, NetError::OtherFailure); }, Qt::QueuedConnection);
        }
    }

    void Finish(const QByteArray& name, const QList<TSocketAddress>& addresses, quint16 error) {
        if (!Running.remove(name)) {
            return;
        }
        std::vector<TRequest> answered;
        for (auto request = Requests.begin(); request != Requests.end();) {
            if (request->second.Name == name) {
                answered.push_back(std::move(request->second));
                request = Requests.erase(request);
            } else {
                ++request;
            }
        }
        while (!Waiting.isEmpty() && Running.size() < TNameResolver::MaxThreads) {
            Start(Waiting.takeFirst());
        }
        // An answer may start or cancel other lookups: the bookkeeping is done before any runs.
        for (const TRequest& request : answered) {
            if (request.Receiver) {
                request.Answer(addresses, error);
            }
        }
    }

    std::map<quint64, TRequest> Requests; // in the order they were made
    QSet<QByteArray> Running;
    QList<QByteArray> Waiting;
    quint64 LastTicket = 0;
};

QPointer<TCentre>& TheCentre() {
    static QPointer<TCentre> centre;
    return centre;
}

TCentre* Centre() {
    QPointer<TCentre>& centre = TheCentre();
    if (!centre && QCoreApplication::instance()) {
        centre = new TCentre(QCoreApplication::instance());
    }
    return centre;
}

} // namespace

quint64 TNameResolver::Lookup(const QByteArray& name, QObject* receiver, TAnswer answer) {
    TCentre* centre = Centre();
    return centre ? centre->Add(name, receiver, std::move(answer)) : 0;
}

void TNameResolver::Cancel(quint64 ticket) {
    if (TCentre* centre = TheCentre()) {
        centre->Cancel(ticket);
    }
}
