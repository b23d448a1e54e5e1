// Configuration files of the server and the client: what is read, and what is refused with a
// message naming the line.

#include <configfile.h>

#include <QTemporaryDir>
#include <QTest>

#include <fstream>

class tst_ConfigFile : public QObject
{
    Q_OBJECT

private slots:
    void read_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>(
            "expected"); // "key=value;..." over threads=8, or "error:fragment"
        QTest::newRow("values, comments and blanks")
            << "# comment\n\nlisten = 127.0.0.1:8211\n  threads=4  \r\n"
            << "listen=127.0.0.1:8211;threads=4;";
        QTest::newRow("empty value") << "token =\n"
                                     << "threads=8;token=;";
        QTest::newRow("value holding =") << "database = postgresql://u@h/db?x=1\n"
                                         << "database=postgresql://u@h/db?x=1;threads=8;";
        QTest::newRow("unknown key") << "listen = a\nthread = 4\n"
                                     << "error::2: chave desconhecida";
        QTest::newRow("no equals sign") << "listen\n"
                                        << "error::1: esperado";
        QTest::newRow("repeated key") << "threads = 1\nthreads = 2\n"
                                      << "error::2: chave \"threads\"";
    }
    void read()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const std::string path = dir.filePath(QStringLiteral("server.conf")).toStdString();
        std::ofstream(path) << text.toStdString();

        std::map<std::string, std::string> values{{"threads", "8"}};
        std::string error;
        const bool ok = caleserver::readConfigFile(path, {"listen", "database", "token", "threads"},
                                                   values, &error);
        if (expected.startsWith(QLatin1String("error:"))) {
            QVERIFY(!ok);
            QVERIFY2(QString::fromStdString(error).contains(expected.mid(6)), error.c_str());
            QCOMPARE(values.size(), size_t(1)); // a refused file changes nothing
            QCOMPARE(values["threads"], std::string("8"));
            return;
        }
        QVERIFY2(ok, error.c_str());
        QString got;
        for (const auto &[key, value] : values)
            got += QString::fromStdString(key + "=" + value + ";");
        QCOMPARE(got, expected);
    }

    void commandLineOverridesFile_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("expected");
        const QString file = QStringLiteral("listen = 0.0.0.0:80\nper-branch = true\n");
        QTest::newRow("file fills what is not given")
            << file << QStringList{"prog", "--token", "T"}
            << QStringList{"prog", "--listen=0.0.0.0:80", "--per-branch", "--token", "T"};
        QTest::newRow("flag wins, both spellings")
            << file << QStringList{"prog", "--listen=127.0.0.1:1", "--per-branch"}
            << QStringList{"prog", "--listen=127.0.0.1:1", "--per-branch"};
        QTest::newRow("false switch adds nothing") << "per-branch = no\n"
                                                   << QStringList{"prog"} << QStringList{"prog"};
        QTest::newRow("switch without true or false")
            << "per-branch = sim\n"
            << QStringList{"prog"} << QStringList{"error"};
    }
    void commandLineOverridesFile()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        const std::string path = dir.filePath(QStringLiteral("client.conf")).toStdString();
        std::ofstream(path) << file.toStdString();

        std::vector<std::string> list;
        for (const QString &argument : arguments)
            list.push_back(argument.toStdString());
        std::string error;
        QStringList got;
        if (caleserver::withConfigDefaults(list, path, {"listen", "token"}, {"per-branch"}, &list,
                                           &error)) {
            for (const std::string &argument : list)
                got << QString::fromStdString(argument);
        } else {
            got << QStringLiteral("error");
        }
        QCOMPARE(got, expected);
    }

    void missingFileIsAnError()
    {
        std::map<std::string, std::string> values;
        std::string error;
        QVERIFY(
            !caleserver::readConfigFile("/nonexistent/caleprodu.conf", {"listen"}, values, &error));
        QVERIFY(error.find("/nonexistent/caleprodu.conf") != std::string::npos);
    }
};

QTEST_GUILESS_MAIN(tst_ConfigFile)
#include "tst_configfile.moc"
