#pragma once

// What the hostile-client harnesses share: the calls that would damage the demo data, and the
// table of hostile requests. Kept apart from the test classes because moc misreads some of the
// raw string literals these are written with.

#include <QByteArray>
#include <QList>
#include <QMetaType>

namespace hostile {

// An answer without a JSON-RPC body: an HTTP refusal, /health.
constexpr int noRpc = 1;

// One answer a hostile request must get.
struct Answer
{
    int status = 0;   // 0: the connection ended without an answer
    int code = noRpc; // the JSON-RPC error code, 0 for a result
};

// A JSON-RPC 2.0 request body; `params` is the text inside the brackets, as sent.
QByteArray call(const QByteArray &method, const QByteArray &params, const QByteArray &id = "7");

// Calls that would change the demo data if they were let in: a year deleted, a calculation and
// a copy.
QList<QByteArray> writingCalls();

// The rows of the hostile request table: columns "request" (raw bytes; %PORT% and the port 0 of
// "Host: 127.0.0.1:0" stand for the server's port), "halfClose" (end the sending half after the
// request) and "answers" (QList<Answer>, in order).
void addHostileRows();

} // namespace hostile

Q_DECLARE_METATYPE(hostile::Answer)
