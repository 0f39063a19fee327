// libpq is loaded when a register on a server is first reached, not when the
// program starts: most desks work on a file, and loading libpq with the
// libraries it brings (TLS, Kerberos, LDAP) took a third of the time the
// program needed before its first window could show. Postgres calls
// libpq's functions as declared in libpq-fe.h; these definitions stand in
// for them and call the library's own, found once each. Without the
// library, a connection string cannot be read, and that says why.

#include <libpq-fe.h>

#include <QLibrary>
#include <QMutex>
#include <cstdlib>
#include <cstring>

namespace {

QMutex& resolving() {
    static QMutex mutex;
    return mutex;
}

QLibrary& library() {
#ifdef Q_OS_WIN
    static QLibrary pq(QStringLiteral("libpq"));
#else
    static QLibrary pq(QStringLiteral("pq"), 5);
#endif
    return pq;
}

// libpq's own function of that name; null when the library cannot be loaded.
template <class Function>
Function own(const char* name) {
    const QMutexLocker lock(&resolving());
    return reinterpret_cast<Function>(library().resolve(name));
}

// What is said where libpq would have said why it failed.
const QByteArray& notLoaded() {
    static const QByteArray text = [] {
        const QMutexLocker lock(&resolving());
        return QStringLiteral("the PostgreSQL client library libpq cannot be loaded (%1)")
            .arg(library().errorString())
            .toUtf8();
    }();
    return text;
}

}  // namespace

// Calls libpq's own function; `otherwise` when libpq cannot be loaded.
#define QUARVEL_LIBPQ_CALL(function, otherwise, ...)                  \
    static const auto libpqOwn = own<decltype(&function)>(#function); \
    return libpqOwn ? libpqOwn(__VA_ARGS__) : otherwise

extern "C" {

PQconninfoOption* PQconninfoParse(const char* conninfo, char** errmsg) {
    static const auto libpqOwn = own<decltype(&PQconninfoParse)>("PQconninfoParse");
    if (libpqOwn)
        return libpqOwn(conninfo, errmsg);
    // Freed with PQfreemem, which then frees what this gave.
    if (errmsg) {
        const QByteArray& text = notLoaded();
        *errmsg = static_cast<char*>(std::malloc(std::size_t(text.size()) + 1));
        if (*errmsg)
            std::memcpy(*errmsg, text.constData(), std::size_t(text.size()) + 1);
    }
    return nullptr;
}

void PQfreemem(void* ptr) {
    static const auto libpqOwn = own<decltype(&PQfreemem)>("PQfreemem");
    if (libpqOwn)
        libpqOwn(ptr);
    else
        std::free(ptr);
}

void PQconninfoFree(PQconninfoOption* connOptions) {
    QUARVEL_LIBPQ_CALL(PQconninfoFree, void(), connOptions);
}

PQconninfoOption* PQconninfo(PGconn* conn) {
    QUARVEL_LIBPQ_CALL(PQconninfo, nullptr, conn);
}

PGconn* PQconnectStartParams(const char* const* keywords, const char* const* values,
                             int expand_dbname) {
    QUARVEL_LIBPQ_CALL(PQconnectStartParams, nullptr, keywords, values, expand_dbname);
}

PostgresPollingStatusType PQconnectPoll(PGconn* conn) {
    QUARVEL_LIBPQ_CALL(PQconnectPoll, PGRES_POLLING_FAILED, conn);
}

void PQfinish(PGconn* conn) {
    QUARVEL_LIBPQ_CALL(PQfinish, void(), conn);
}

ConnStatusType PQstatus(const PGconn* conn) {
    QUARVEL_LIBPQ_CALL(PQstatus, CONNECTION_BAD, conn);
}

PGTransactionStatusType PQtransactionStatus(const PGconn* conn) {
    QUARVEL_LIBPQ_CALL(PQtransactionStatus, PQTRANS_UNKNOWN, conn);
}

char* PQerrorMessage(const PGconn* conn) {
    QUARVEL_LIBPQ_CALL(PQerrorMessage, const_cast<char*>(notLoaded().constData()), conn);
}

char* PQhost(const PGconn* conn) {
    QUARVEL_LIBPQ_CALL(PQhost, nullptr, conn);
}

char* PQport(const PGconn* conn) {
    QUARVEL_LIBPQ_CALL(PQport, nullptr, conn);
}

int PQsocket(const PGconn* conn) {
    QUARVEL_LIBPQ_CALL(PQsocket, -1, conn);
}

int PQconnectionNeedsPassword(const PGconn* conn) {
    QUARVEL_LIBPQ_CALL(PQconnectionNeedsPassword, 0, conn);
}

PGVerbosity PQsetErrorVerbosity(PGconn* conn, PGVerbosity verbosity) {
    QUARVEL_LIBPQ_CALL(PQsetErrorVerbosity, PQERRORS_DEFAULT, conn, verbosity);
}

int PQsslInUse(PGconn* conn) {
    QUARVEL_LIBPQ_CALL(PQsslInUse, 0, conn);
}

int PQsetnonblocking(PGconn* conn, int arg) {
    QUARVEL_LIBPQ_CALL(PQsetnonblocking, -1, conn, arg);
}

PQnoticeProcessor PQsetNoticeProcessor(PGconn* conn, PQnoticeProcessor proc, void* arg) {
    QUARVEL_LIBPQ_CALL(PQsetNoticeProcessor, nullptr, conn, proc, arg);
}

PGresult* PQexec(PGconn* conn, const char* query) {
    QUARVEL_LIBPQ_CALL(PQexec, nullptr, conn, query);
}

PGresult* PQexecParams(PGconn* conn, const char* command, int nParams, const Oid* paramTypes,
                       const char* const* paramValues, const int* paramLengths,
                       const int* paramFormats, int resultFormat) {
    QUARVEL_LIBPQ_CALL(PQexecParams, nullptr, conn, command, nParams, paramTypes, paramValues,
                       paramLengths, paramFormats, resultFormat);
}

PGresult* PQprepare(PGconn* conn, const char* stmtName, const char* query, int nParams,
                    const Oid* paramTypes) {
    QUARVEL_LIBPQ_CALL(PQprepare, nullptr, conn, stmtName, query, nParams, paramTypes);
}

PGresult* PQexecPrepared(PGconn* conn, const char* stmtName, int nParams,
                         const char* const* paramValues, const int* paramLengths,
                         const int* paramFormats, int resultFormat) {
    QUARVEL_LIBPQ_CALL(PQexecPrepared, nullptr, conn, stmtName, nParams, paramValues, paramLengths,
                       paramFormats, resultFormat);
}

int PQsendQuery(PGconn* conn, const char* query) {
    QUARVEL_LIBPQ_CALL(PQsendQuery, 0, conn, query);
}

int PQsendQueryParams(PGconn* conn, const char* command, int nParams, const Oid* paramTypes,
                      const char* const* paramValues, const int* paramLengths,
                      const int* paramFormats, int resultFormat) {
    QUARVEL_LIBPQ_CALL(PQsendQueryParams, 0, conn, command, nParams, paramTypes, paramValues,
                       paramLengths, paramFormats, resultFormat);
}

int PQsendPrepare(PGconn* conn, const char* stmtName, const char* query, int nParams,
                  const Oid* paramTypes) {
    QUARVEL_LIBPQ_CALL(PQsendPrepare, 0, conn, stmtName, query, nParams, paramTypes);
}

int PQsendQueryPrepared(PGconn* conn, const char* stmtName, int nParams,
                        const char* const* paramValues, const int* paramLengths,
                        const int* paramFormats, int resultFormat) {
    QUARVEL_LIBPQ_CALL(PQsendQueryPrepared, 0, conn, stmtName, nParams, paramValues, paramLengths,
                       paramFormats, resultFormat);
}

PGresult* PQgetResult(PGconn* conn) {
    QUARVEL_LIBPQ_CALL(PQgetResult, nullptr, conn);
}

int PQisBusy(PGconn* conn) {
    QUARVEL_LIBPQ_CALL(PQisBusy, 0, conn);
}

int PQconsumeInput(PGconn* conn) {
    QUARVEL_LIBPQ_CALL(PQconsumeInput, 0, conn);
}

PGnotify* PQnotifies(PGconn* conn) {
    QUARVEL_LIBPQ_CALL(PQnotifies, nullptr, conn);
}

int PQflush(PGconn* conn) {
    QUARVEL_LIBPQ_CALL(PQflush, -1, conn);
}

int PQputCopyData(PGconn* conn, const char* buffer, int nbytes) {
    QUARVEL_LIBPQ_CALL(PQputCopyData, -1, conn, buffer, nbytes);
}

int PQputCopyEnd(PGconn* conn, const char* errormsg) {
    QUARVEL_LIBPQ_CALL(PQputCopyEnd, -1, conn, errormsg);
}

ExecStatusType PQresultStatus(const PGresult* res) {
    QUARVEL_LIBPQ_CALL(PQresultStatus, PGRES_FATAL_ERROR, res);
}

char* PQresultErrorField(const PGresult* res, int fieldcode) {
    QUARVEL_LIBPQ_CALL(PQresultErrorField, nullptr, res, fieldcode);
}

void PQclear(PGresult* res) {
    QUARVEL_LIBPQ_CALL(PQclear, void(), res);
}

int PQntuples(const PGresult* res) {
    QUARVEL_LIBPQ_CALL(PQntuples, 0, res);
}

int PQnfields(const PGresult* res) {
    QUARVEL_LIBPQ_CALL(PQnfields, 0, res);
}

Oid PQftype(const PGresult* res, int field_num) {
    QUARVEL_LIBPQ_CALL(PQftype, Oid(0), res, field_num);
}

char* PQgetvalue(const PGresult* res, int tup_num, int field_num) {
    QUARVEL_LIBPQ_CALL(PQgetvalue, nullptr, res, tup_num, field_num);
}

int PQgetlength(const PGresult* res, int tup_num, int field_num) {
    QUARVEL_LIBPQ_CALL(PQgetlength, 0, res, tup_num, field_num);
}

int PQgetisnull(const PGresult* res, int tup_num, int field_num) {
    QUARVEL_LIBPQ_CALL(PQgetisnull, 1, res, tup_num, field_num);
}

char* PQcmdStatus(PGresult* res) {
    QUARVEL_LIBPQ_CALL(PQcmdStatus, nullptr, res);
}

char* PQcmdTuples(PGresult* res) {
    QUARVEL_LIBPQ_CALL(PQcmdTuples, nullptr, res);
}

}  // extern "C"
