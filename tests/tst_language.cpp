#include "language/language.h"
#include "support/startconsole.h"

#include <QMenuBar>
#include <QtTest>

Q_DECLARE_METATYPE(std::optional<language::Language>)

using language::Language;

// Which language a program speaks, and the console speaking it: the window
// follows the locale the program is started under.
class TestLanguage : public QObject
{
    Q_OBJECT

private slots:
    void shouldChooseTheLanguage_data()
    {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QStringList>("system");
        QTest::addColumn<std::optional<Language>>("spoken");

        const QStringList english{"en-US", "en-Latn-US", "en"};
        const QStringList german{"de-DE", "de-Latn-DE", "de"};
        QTest::newRow("English locale") << QString() << english << std::optional(Language::English);
        QTest::newRow("British locale") << QString() << QStringList{"en-GB"} << std::optional(Language::English);
        QTest::newRow("plain en") << QString() << QStringList{"en"} << std::optional(Language::English);
        QTest::newRow("German locale") << QString() << german << std::optional(Language::German);
        QTest::newRow("C locale") << QString() << QStringList{"C"} << std::optional(Language::German);
        QTest::newRow("no locale") << QString() << QStringList() << std::optional(Language::German);
        QTest::newRow("French locale") << QString() << QStringList{"fr-FR"} << std::optional(Language::German);
        QTest::newRow("English only second") << QString() << QStringList{"fr-FR", "en-US"} << std::optional(Language::German);
        QTest::newRow("a language starting like en") << QString() << QStringList{"eo"} << std::optional(Language::German);
        QTest::newRow("de asked under English") << "de" << english << std::optional(Language::German);
        QTest::newRow("en asked under German") << "en" << german << std::optional(Language::English);
        QTest::newRow("en asked under C") << "en" << QStringList{"C"} << std::optional(Language::English);
        QTest::newRow("fr asked") << "fr" << english << std::optional<Language>();
        QTest::newRow("EN asked") << "EN" << german << std::optional<Language>();
    }

    void shouldChooseTheLanguage()
    {
        QFETCH(QString, asked);
        QFETCH(QStringList, system);
        QFETCH(std::optional<Language>, spoken);

        QCOMPARE(language::choose(asked, system), spoken);
    }

    // This suite started again under each locale, for the next test alone.
    void shouldFollowTheLocaleItIsStartedUnder_data()
    {
        QTest::addColumn<QString>("locale");
        for (const char *locale : {"en_US.UTF-8", "en_GB.UTF-8", "de_DE.UTF-8", "C", "fr_FR.UTF-8"})
            QTest::newRow(locale) << QString::fromLatin1(locale);
    }

    void shouldFollowTheLocaleItIsStartedUnder()
    {
        QFETCH(QString, locale);

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"})
            environment.remove(QString::fromLatin1(name));
        environment.insert(QStringLiteral("LANG"), locale);
        QProcess suite;
        suite.setProcessEnvironment(environment);
        suite.start(QCoreApplication::applicationFilePath(), {QStringLiteral("shouldSpeakTheLanguageOfTheLocale")});
        QVERIFY(suite.waitForFinished(60000));
        QVERIFY2(suite.exitStatus() == QProcess::NormalExit && suite.exitCode() == 0, suite.readAllStandardOutput().constData());
    }

    // The window's title, buttons and menus, Qt's own buttons and the
    // numbers in the language of the locale the suite runs under.
    void shouldSpeakTheLanguageOfTheLocale()
    {
        const QByteArray locale = qgetenv("LANG");
        const std::optional<Language> spoken = language::choose({}, language::systemLanguages());
        QVERIFY(spoken);
        QCOMPARE(*spoken, locale.startsWith("en_") ? Language::English : Language::German);
        QCOMPARE(language::use(*spoken), QString());

        const bool english = *spoken == Language::English;
        tests::ScriptedConsole console;
        const tests::Form form(*console.window);
        QCOMPARE(console.window->windowTitle(), english ? "Korvel - Console" : "Korvel - Konsole");
        const QStringList buttons{form.showCANView->text(), form.sendNMH->text(), form.activateTPDiag->text(),
                                  form.pressureCalibSave->text(), form.pressureStressed->text()};
        QCOMPARE(buttons, (english ? QStringList{"Show CAN activity", "Send NMH", "Activate TP diagnosis",
                                                 "Save calibration", "Loaded with 5N"}
                                   : QStringList{"Zeige CAN Aktivität", "NMH Senden", "TP Diagnose aktivieren",
                                                 "Kalibrierung speichern", "belastet mit 5N"}));
        QStringList menus;
        for (const QAction *menu : console.window->menuBar()->actions())
            menus << menu->text();
        QCOMPARE(menus, (english ? QStringList{"&Channel", "Re&cording", "&View", "&Device"}
                                 : QStringList{"&Kanal", "&Aufzeichnung", "A&nsicht", "&Gerät"}));
        // What the device reads out stays its own.
        QCOMPARE(form.readPressureSensors->findChild<QLabel *>("label")->text(), "gusPressureCali_mN");

        QDialogButtonBox qtButtons(QDialogButtonBox::Cancel);
        QCOMPARE(qtButtons.button(QDialogButtonBox::Cancel)->text(), english ? "Cancel" : "Abbrechen");
        QCOMPARE(QLocale().toString(1.5), english ? "1.5" : "1,5");
    }
};

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
