// The XDR and RPC message code that the Windows build of our VISA library uses in place of an
// RPC library, run here on the build machine: encodings byte for byte, and decoders that
// refuse what a hostile or broken peer sends without reading past the record or allocating
// what it announces.
#include <QtTest>

#include <rpc/pmap_prot.h>
#include <rpc/rpc.h>

#include "vxi11.h"

#include <netinet/in.h>

#include <climits>
#include <cstring>

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// Encodes with filter into a fresh buffer; empty when the filter refuses.
template<typename T>
QByteArray encoded(bool_t (*filter)(XDR *, T *), T value)
{
    char buffer[64] = {};
    XDR xdrs;
    xdrmem_create(&xdrs, buffer, sizeof buffer, XDR_ENCODE);
    if (!filter(&xdrs, &value))
        return QByteArray();
    return QByteArray(buffer, int(xdr_getpos(&xdrs)));
}

template<typename T>
bool decoded(bool_t (*filter)(XDR *, T *), QByteArray wire, T &out)
{
    XDR xdrs;
    xdrmem_create(&xdrs, wire.data(), u_int(wire.size()), XDR_DECODE);
    return filter(&xdrs, &out);
}

} // namespace

class WindowsXdr : public QObject
{
    Q_OBJECT

private slots:
    // Every item is a big-endian word; narrow ones are widened with their sign.
    void primitivesEncodeAsWords()
    {
        QCOMPARE(encoded<long>(xdr_long, -2), bytes({0xff, 0xff, 0xff, 0xfe}));
        QCOMPARE(encoded<u_long>(xdr_u_long, 0x01020304ul), bytes({1, 2, 3, 4}));
        QCOMPARE(encoded<short>(xdr_short, -1), bytes({0xff, 0xff, 0xff, 0xff}));
        QCOMPARE(encoded<u_short>(xdr_u_short, 0x8001), bytes({0, 0, 0x80, 1}));
        QCOMPARE(encoded<char>(xdr_char, 'A'), bytes({0, 0, 0, 'A'}));
        QCOMPARE(encoded<bool_t>(xdr_bool, 7), bytes({0, 0, 0, 1}));
        long back = 0;
        QVERIFY(decoded<long>(xdr_long, bytes({0x80, 0, 0, 0}), back));
        QCOMPARE(back, long(INT32_MIN));
    }

    // A value that does not fit its 32 bits on the wire, or a word that does not fit the
    // item it is decoded into, is refused rather than cut.
    void outOfRangeValuesAreRefused()
    {
        if (sizeof(long) > 4) {
            QVERIFY(encoded<long>(xdr_long, long(INT32_MAX) + 1).isEmpty());
            QVERIFY(encoded<u_long>(xdr_u_long, 0x100000000ul).isEmpty());
        }
        short s = 0;
        QVERIFY(!decoded<short>(xdr_short, bytes({0, 1, 0, 0}), s));
        u_short us = 0;
        QVERIFY(!decoded<u_short>(xdr_u_short, bytes({0, 1, 0, 0}), us));
        bool_t b = 0;
        QVERIFY(!decoded<bool_t>(xdr_bool, bytes({0, 0, 0, 2}), b));
        u_int u = 0;
        QVERIFY(!decoded<u_int>(xdr_u_int, bytes({0, 0, 1}), u)); // a truncated word
    }

    // Counted data: the length, the bytes, zero padding to a whole word.
    void bytesAndStringsArePaddedWithZeros()
    {
        char buffer[32];
        std::memset(buffer, 0x55, sizeof buffer);
        XDR xdrs;
        xdrmem_create(&xdrs, buffer, sizeof buffer, XDR_ENCODE);
        char text[] = "abcde";
        char *p = text;
        QVERIFY(xdr_string(&xdrs, &p, 16));
        QCOMPARE(QByteArray(buffer, int(xdr_getpos(&xdrs))),
                 bytes({0, 0, 0, 5, 'a', 'b', 'c', 'd', 'e', 0, 0, 0}));

        QByteArray wire = bytes({0, 0, 0, 3, 'x', 'y', 'z', 0});
        char *decodedText = nullptr;
        xdrmem_create(&xdrs, wire.data(), u_int(wire.size()), XDR_DECODE);
        QVERIFY(xdr_string(&xdrs, &decodedText, 16));
        QCOMPARE(QByteArray(decodedText), QByteArray("xyz"));
        xdr_free(xdrproc_t(xdr_wrapstring), reinterpret_cast<char *>(&decodedText));
        QVERIFY(decodedText == nullptr);

        // Empty data, as a write of nothing sends it, may have no buffer behind it.
        char *none = nullptr;
        u_int noBytes = 0;
        xdrmem_create(&xdrs, buffer, sizeof buffer, XDR_ENCODE);
        QVERIFY(xdr_bytes(&xdrs, &none, &noBytes, 16));
        QCOMPARE(QByteArray(buffer, int(xdr_getpos(&xdrs))), bytes({0, 0, 0, 0}));
    }

    // A peer's announced length is checked against the caller's limit and against what the
    // record holds before anything is allocated or copied.
    void announcedLengthsAreChecked()
    {
        XDR xdrs;
        char *data = nullptr;
        u_int size = 0;
        QByteArray overLimit = bytes({0, 0, 0, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0});
        xdrmem_create(&xdrs, overLimit.data(), u_int(overLimit.size()), XDR_DECODE);
        QVERIFY(!xdr_bytes(&xdrs, &data, &size, 8));
        QVERIFY(data == nullptr);

        QByteArray huge = bytes({0x7f, 0xff, 0xff, 0xff, 1, 2, 3, 4});
        xdrmem_create(&xdrs, huge.data(), u_int(huge.size()), XDR_DECODE);
        QVERIFY(!xdr_bytes(&xdrs, &data, &size, UINT_MAX));
        QVERIFY(data == nullptr);

        QByteArray endless = bytes({0xff, 0xff, 0xff, 0xff});
        xdrmem_create(&xdrs, endless.data(), u_int(endless.size()), XDR_DECODE);
        QVERIFY(!xdr_string(&xdrs, &data, UINT_MAX));
        QVERIFY(data == nullptr);

        QByteArray shortOpaque = bytes({1, 2, 3});
        char into[4];
        xdrmem_create(&xdrs, shortOpaque.data(), u_int(shortOpaque.size()), XDR_DECODE);
        QVERIFY(!xdr_opaque(&xdrs, into, 3)); // three bytes need a whole word
        QVERIFY(XDR_INLINE(&xdrs, 4) == nullptr);
    }

    // A call header with null credentials is 40 bytes; xdr_sizeof counts what encoding writes.
    void callHeaderAndSizes()
    {
        rpc_msg call{};
        call.rm_xid = 0x11223344;
        call.rm_direction = CALL;
        call.rm_call.cb_rpcvers = RPC_MSG_VERSION;
        call.rm_call.cb_prog = PMAPPROG;
        call.rm_call.cb_vers = PMAPVERS;
        call.rm_call.cb_proc = PMAPPROC_GETPORT;
        call.rm_call.cb_cred = _null_auth;
        call.rm_call.cb_verf = _null_auth;
        pmap query{DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP, 0};
        char buffer[128];
        XDR xdrs;
        xdrmem_create(&xdrs, buffer, sizeof buffer, XDR_ENCODE);
        QVERIFY(xdr_callmsg(&xdrs, &call));
        QCOMPARE(xdr_getpos(&xdrs), 40u);
        QVERIFY(xdr_pmap(&xdrs, &query));
        const QByteArray wire(buffer, int(xdr_getpos(&xdrs)));
        QCOMPARE(wire.left(16), bytes({0x11, 0x22, 0x33, 0x44, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0x86, 0xa0}));
        QCOMPARE(wire.mid(40), bytes({0, 0x06, 0x07, 0xaf, 0, 0, 0, 1, 0, 0, 0, 6, 0, 0, 0, 0}));

        char device[] = "inst0";
        Create_LinkParms parms{};
        parms.clientId = 42;
        parms.lockDevice = FALSE;
        parms.lock_timeout = 10000;
        parms.device = device;
        QCOMPARE(xdr_sizeof(xdrproc_t(xdr_Create_LinkParms), &parms), 4ul * 3 + 4 + 8);
        xdrmem_create(&xdrs, buffer, 20, XDR_ENCODE); // room for all but the padding
        QVERIFY(!xdr_Create_LinkParms(&xdrs, &parms));
    }

    // Replies: accepted ones decode their results through the given filter; a denial, an
    // unknown status or an oversized verifier is told apart or refused.
    void repliesDecode()
    {
        u_long port = 0;
        auto decode = [&](QByteArray wire, rpc_msg &reply) {
            reply = rpc_msg{};
            reply.acpted_rply.ar_verf = _null_auth;
            reply.acpted_rply.ar_results.where = reinterpret_cast<caddr_t>(&port);
            reply.acpted_rply.ar_results.proc = xdrproc_t(xdr_u_long);
            XDR xdrs;
            xdrmem_create(&xdrs, wire.data(), u_int(wire.size()), XDR_DECODE);
            return bool(xdr_replymsg(&xdrs, &reply));
        };
        rpc_msg reply;
        // xid, REPLY, MSG_ACCEPTED, verifier AUTH_NONE with 4 bytes of body, SUCCESS, port.
        QVERIFY(decode(bytes({0, 0, 0, 7, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4,
                              9, 9, 9, 9, 0, 0, 0, 0, 0, 0, 0x04, 0x00}),
                       reply));
        QCOMPARE(reply.rm_xid, 7u);
        QCOMPARE(int(reply.acpted_rply.ar_stat), int(SUCCESS));
        QCOMPARE(port, 1024ul);

        // PROG_MISMATCH carries the versions served.
        QVERIFY(decode(bytes({0, 0, 0, 8, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                              0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 3}),
                       reply));
        QCOMPARE(int(reply.acpted_rply.ar_stat), int(PROG_MISMATCH));
        QCOMPARE(reply.acpted_rply.ar_vers.high, 3u);

        // Denied for authentication.
        QVERIFY(decode(bytes({0, 0, 0, 9, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 5}), reply));
        QCOMPARE(int(reply.rm_reply.rp_stat), int(MSG_DENIED));
        QCOMPARE(int(reply.rjcted_rply.rj_stat), int(AUTH_ERROR));

        // A call where a reply is expected, an unknown reply status, a verifier over 400 bytes.
        QVERIFY(!decode(bytes({0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0}), reply));
        QVERIFY(!decode(bytes({0, 0, 0, 9, 0, 0, 0, 1, 0, 0, 0, 2}), reply));
        QVERIFY(!decode(bytes({0, 0, 0, 9, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0x94}),
                        reply));
    }
};

QTEST_APPLESS_MAIN(WindowsXdr)
#include "tst_windowsxdr.moc"
