// The connection settings a counter keeps: the fields of the choice-of-books dialog written as
// a libpq connection string and read back, and the choice saved beside the other settings.

#include "books/bookslocation.h"
#include "checks.h"
#include "sharedstore/connectiontext.h"
#include "storage/settingsfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vellumar;

Q_DECLARE_METATYPE(vellumar::ConnectionFields)

class TestConnectionText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fieldsSurviveTheText_data();
    void fieldsSurviveTheText();
    void textsBeyondTheFields_data();
    void textsBeyondTheFields();
    void choiceIsKeptBesideOtherSettings();
    void unreadableChoiceIsRefused();
};

void TestConnectionText::fieldsSurviveTheText_data() {
    QTest::addColumn<ConnectionFields>("fields");
    QTest::addColumn<QString>("text");
    QTest::newRow("address") << ConnectionFields{u"shop-server"_qs, u"5433"_qs, u"books"_qs,
                                                 u"counter"_qs, u"require"_qs}
                             << u"host='shop-server' port='5433' dbname='books' user='counter' "
                                u"sslmode='require'"_qs;
    QTest::newRow("only a database")
        << ConnectionFields{{}, {}, u"账本"_qs, {}, {}} << u"dbname='账本'"_qs;
    // Spaces, quotes and backslashes stay inside the value they belong to.
    QTest::newRow("quoting")
        << ConnectionFields{u"/run/pg sockets"_qs, {}, u"it's"_qs, u"a\\b"_qs, {}}
        << u"host='/run/pg sockets' dbname='it\\'s' user='a\\\\b'"_qs;
    QTest::newRow("nothing") << ConnectionFields{} << QString();
}

void TestConnectionText::fieldsSurviveTheText() {
    QFETCH(ConnectionFields, fields);
    QFETCH(QString, text);
    QCOMPARE(connectionText(fields), text);
    const std::optional<ConnectionFields> read = connectionFields(text);
    QVERIFY(read);
    QVERIFY(*read == fields);
    QVERIFY(!connectionHasPassword(text));
}

void TestConnectionText::textsBeyondTheFields_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("asFields");
    QTest::addColumn<bool>("password");
    QTest::newRow("service") << u"service=shop"_qs << false << false;
    QTest::newRow("uri") << u"postgresql://counter@shop-server:5433/books"_qs << true << false;
    QTest::newRow("password in text") << u"host=a password=secret"_qs << false << true;
    QTest::newRow("password in uri") << u"postgresql://u:secret@a/b"_qs << false << true;
    QTest::newRow("other option") << u"host=a connect_timeout=3"_qs << false << false;
    QTest::newRow("unreadable") << u"host='a"_qs << false << false;
}

void TestConnectionText::textsBeyondTheFields() {
    QFETCH(QString, text);
    QFETCH(bool, asFields);
    QFETCH(bool, password);
    QCOMPARE(connectionFields(text).has_value(), asFields);
    QCOMPARE(connectionHasPassword(text), password);
}

void TestConnectionText::choiceIsKeptBesideOtherSettings() {
    QTemporaryDir folder;
    const QString file = folder.filePath(u"settings.json"_qs);
    QVERIFY(!valueOf(savedBooksChoice(file)));

    Result<SettingsFile> settings = SettingsFile::load(file);
    settings->setValue(u"statement/heading"_qs, u"东街小店"_qs);
    must(settings->save());
    const QString connection = u"host='shop-server' dbname='books'"_qs;
    must(saveBooksChoice(file, {BooksLocation::Kind::Shared, connection, {}}));
    std::optional<BooksLocation> saved = valueOf(savedBooksChoice(file));
    QVERIFY(saved);
    QCOMPARE(saved->kind, BooksLocation::Kind::Shared);
    QCOMPARE(saved->connection, connection);
    QCOMPARE(saved->source, BooksLocation::Source::Saved);

    must(saveBooksChoice(file, {BooksLocation::Kind::Local, {}, {}}));
    saved = valueOf(savedBooksChoice(file));
    QCOMPARE(saved->kind, BooksLocation::Kind::Local);
    QCOMPARE(valueOf(SettingsFile::load(file)).value(u"statement/heading"_qs), u"东街小店"_qs);
    // Going back to shared books later finds the connection still there.
    QCOMPARE(valueOf(SettingsFile::load(file)).value(u"books/connection"_qs), connection);
}

void TestConnectionText::unreadableChoiceIsRefused() {
    QTemporaryDir folder;
    const QString file = folder.filePath(u"settings.json"_qs);
    Result<SettingsFile> settings = SettingsFile::load(file);
    settings->setValue(u"books/kind"_qs, u"cloud"_qs);
    must(settings->save());
    const Result<std::optional<BooksLocation>> saved = savedBooksChoice(file);
    QVERIFY(!saved.ok());
    QVERIFY(saved.status().message().contains(u"cloud"_qs));

    QFile broken(file);
    QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write("{not json");
    broken.close();
    QVERIFY(!savedBooksChoice(file).ok());
    // Nothing is written over a settings file that cannot be read.
    QVERIFY(!saveBooksChoice(file, {}).ok());
    QVERIFY(broken.open(QIODevice::ReadOnly));
    QCOMPARE(broken.readAll(), QByteArray("{not json"));
}

QTEST_GUILESS_MAIN(TestConnectionText)
#include "test_connectiontext.moc"
