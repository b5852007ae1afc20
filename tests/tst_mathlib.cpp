// The delivered module math library itself, loaded from the driver directory: its two
// conversions at the calibration points, across the top bit of the codes, outside the points,
// and against a reference computed in quad precision over many random inputs.
#include <QLibrary>
#include <QRandomGenerator>
#include <QtTest>

using ValueFromCode = float (*)(float y1, float y2, quint32 x1, quint32 x2, quint32 x);
using CodeFromValue = quint32 (*)(quint32 x1, quint32 x2, float y1, float y2, float y);

namespace {

using Quad = __float128;

// Quad precision holds every product and difference here whole, so each rounding to float
// that the conversions prescribe happens exactly once, as on paper.
float referenceValue(float y1, float y2, quint32 x1, quint32 x2, quint32 x)
{
    const float t = float((Quad(y1) - Quad(y2)) * (Quad(x1) - Quad(x)));
    return float(Quad(y1) - Quad(t) / (Quad(x1) - Quad(x2)));
}

quint32 referenceCode(quint32 x1, quint32 x2, float y1, float y2, float y)
{
    const float t = float((Quad(x1) - Quad(x2)) * (Quad(y1) - Quad(y)));
    const float r = float(Quad(x1) - Quad(t) / (Quad(y1) - Quad(y2)));
    if (!(r > 0.0f))
        return 0;
    if (r >= 4294967296.0f)
        return 0xFFFFFFFFu;
    return quint32(quint64(double(r)));
}

} // namespace

class TestMathLib : public QObject
{
    Q_OBJECT

    QLibrary library{VOLTADESK_DRIVER_DIR "rvka5630_math.dll"};
    ValueFromCode valueFromCode = nullptr;
    CodeFromValue codeFromValue = nullptr;

private slots:
    void initTestCase()
    {
        QVERIFY2(library.load(), qPrintable(library.errorString()));
        valueFromCode = reinterpret_cast<ValueFromCode>(library.resolve("valueFromCode"));
        codeFromValue = reinterpret_cast<CodeFromValue>(library.resolve("codeFromValue"));
        QVERIFY(valueFromCode && codeFromValue);
    }

    void valueAtCode_data()
    {
        QTest::addColumn<float>("y1");
        QTest::addColumn<float>("y2");
        QTest::addColumn<quint32>("x1");
        QTest::addColumn<quint32>("x2");
        QTest::addColumn<quint32>("x");
        QTest::addColumn<float>("value");
        QTest::addColumn<int>("ulps"); // float rounding allowed

        QTest::newRow("at x1") << 1.5f << 10.25f << 1000u << 50000u << 1000u << 1.5f << 0;
        QTest::newRow("at x1, top bit set")
            << -3.7f << 12.9f << 3000000000u << 4000000000u << 3000000000u << -3.7f << 0;
        QTest::newRow("at x2") << 0.1f << 7.3f << 12345u << 987654321u << 987654321u << 7.3f << 1;
        QTest::newRow("at x2, top code")
            << 0.1f << 7.3f << 5u << 0xFFFFFFFFu << 0xFFFFFFFFu << 7.3f << 1;
        QTest::newRow("across the top bit")
            << 0.0f << 4000.0f << 0u << 4000000000u << 0x80000000u << 2147.483648f << 1;
        QTest::newRow("top code") << 0.0f << 1.0f << 0u << 0x80000000u << 0xFFFFFFFFu << 2.0f << 0;
        // Through a double the product would round to a tie between two floats first and end
        // one float step lower.
        QTest::newRow("product rounded once") << 16777216.0f << -0.5f << 2113929217u << 2113929216u
                                              << 0u << -35465849213026304.0f << 0;
        QTest::newRow("below x1") << 0.0f << 10.0f << 100u << 200u << 0u << -10.0f << 0;
        QTest::newRow("above x2") << 0.0f << 10.0f << 100u << 200u << 300u << 20.0f << 0;
    }

    void valueAtCode()
    {
        QFETCH(float, y1);
        QFETCH(float, y2);
        QFETCH(quint32, x1);
        QFETCH(quint32, x2);
        QFETCH(quint32, x);
        QFETCH(float, value);
        QFETCH(int, ulps);
        const float got = valueFromCode(y1, y2, x1, x2, x);
        QVERIFY2(qFloatDistance(got, value) <= quint32(ulps),
                 qPrintable(QString::number(got, 'g', 9)));
    }

    void codeAtValue_data()
    {
        QTest::addColumn<quint32>("x1");
        QTest::addColumn<quint32>("x2");
        QTest::addColumn<float>("y1");
        QTest::addColumn<float>("y2");
        QTest::addColumn<float>("y");
        QTest::addColumn<quint32>("code");

        QTest::newRow("at y1") << 1000u << 50000u << 1.5f << 10.25f << 1.5f << 1000u;
        QTest::newRow("at y2") << 1000u << 50000u << 1.5f << 10.25f << 10.25f << 50000u;
        QTest::newRow("toward zero") << 0u << 100u << 0.0f << 100.0f << 10.75f << 10u;
        QTest::newRow("points above 2^31")
            << 3000000000u << 4000000000u << 0.0f << 1.0f << 0.5f << 3500000000u;
        QTest::newRow("maps above 2^31")
            << 0u << 4000000000u << 0.0f << 4.0f << 3.0f << 3000000000u;
        QTest::newRow("maps to 2^31") << 0u << 0x80000000u << 0.0f << 1.0f << 1.0f << 0x80000000u;
        QTest::newRow("last float below 2^32")
            << 0u << 1u << 0.0f << 1.0f << 4294967040.0f << 0xFFFFFF00u;
        QTest::newRow("product rounded once")
            << 2113929217u << 0u << 16777216.0f << -8.4375f << -0.5f << 936u; // 1064 via a double
        QTest::newRow("below y1") << 100u << 200u << 0.0f << 10.0f << -5.0f << 50u;
        QTest::newRow("beyond y2") << 100u << 200u << 0.0f << 10.0f << 20.0f << 300u;
        // No code below 0 or from 2^32 on: the nearest end of the range.
        QTest::newRow("below code 0") << 100u << 200u << 0.0f << 10.0f << -20.0f << 0u;
        QTest::newRow("beyond the top code") << 0u << 1u << 0.0f << 1.0f << 5e9f << 0xFFFFFFFFu;
    }

    void codeAtValue()
    {
        QFETCH(quint32, x1);
        QFETCH(quint32, x2);
        QFETCH(float, y1);
        QFETCH(float, y2);
        QFETCH(float, y);
        QFETCH(quint32, code);
        QCOMPARE(codeFromValue(x1, x2, y1, y2, y), code);
    }

    void randomAgainstReference()
    {
        QRandomGenerator random(20240531);
        const auto randomValue = [&random] { return float(random.bounded(2000.0) - 1000.0); };
        for (int i = 0; i < 100000; ++i) {
            const quint32 x1 = random.generate(), x2 = random.generate(), x = random.generate();
            const float y1 = randomValue(), y2 = randomValue();
            if (x1 == x2 || y1 == y2)
                continue;
            // Mostly between the points, partly outside them and off the code range.
            const float y = float(y1 + (double(y2) - y1) * (random.bounded(2.0) - 0.5));
            const auto at = [&] {
                return QString::asprintf(" at y1 %.9g, y2 %.9g, x1 %u, x2 %u, x %u, y %.9g", y1, y2,
                                         x1, x2, x, y);
            };
            if (qFloatDistance(valueFromCode(y1, y2, x1, x2, x),
                               referenceValue(y1, y2, x1, x2, x)) != 0)
                QFAIL(qPrintable("valueFromCode" + at()));
            if (codeFromValue(x1, x2, y1, y2, y) != referenceCode(x1, x2, y1, y2, y))
                QFAIL(qPrintable("codeFromValue" + at()));
        }
    }
};

QTEST_GUILESS_MAIN(TestMathLib)
#include "tst_mathlib.moc"
