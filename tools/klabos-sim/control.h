#pragma once

#include "httprequest.h"
#include "reply.h"

#include <QHash>
#include <QString>

namespace KlabosSim {

class Server;

// The control interface over HTTP, for scripts and tests in other processes. Every call is a GET or POST to
// /control/<name>; parameters come in the query or in a form-encoded body (UTF-8, "+" or "%20" for a blank);
// the answer is JSON: {"ok":true,...} or, with status 400 or 404, {"ok":false,"error":"..."}.
class ControlEndpoint {
public:
    explicit ControlEndpoint(Server& server)
        : Sim(server) {}

    static bool Serves(const QByteArray& path) { return path.startsWith("/control/"); }
    Reply Handle(const HttpRequest& request);

    // The UTF-8 parameters of a control call.
    static QHash<QString, QString> Parameters(const HttpRequest& request);

private:
    Server& Sim;
};

} // namespace KlabosSim
