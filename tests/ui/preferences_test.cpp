// Preferences: kept in the profile across application objects; the method takes effect at once.
#include <QCheckBox>
#include <QRadioButton>
#include <QTest>

#include "document/preferences.h"
#include "support/test_support.h"
#include "ui/ui_test_groups.h"
#include "ui/ui_test_support.h"

class PreferencesTests : public QObject {
  Q_OBJECT
 private slots:
  void keptAcrossRuns() {
    testsupport::TempDir config;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path().string()));
    TestHooks hooks;
    {
      TestApp first;
      const ProgramSettings& s = first.state->ctx->settings;
      QCOMPARE(s.antiAliasing, true);
      QCOMPARE(s.clipBlank, true);
      QCOMPARE(s.reduceColorMethod, 2);  // new profiles start with the high-quality method
      bool shownAsStored = false;
      hooks.onDialog = [&shownAsStored](QDialog& d) {
        shownAsStored = ButtonNamed(d, "Anti-Aliasing")->isChecked() &&
                        ButtonNamed(d, "Clipping blank area")->isChecked() &&
                        ButtonNamed(d, "High quality")->isChecked() &&
                        !ButtonNamed(d, "Popularity algorithm")->isChecked();
        ButtonNamed(d, "Anti-Aliasing")->click();
        ButtonNamed(d, "Popularity algorithm")->click();
        d.accept();
        return d.result();
      };
      first.sheet->ShowPreferences();
      QVERIFY(shownAsStored);
      QCOMPARE(s.antiAliasing, false);
      QCOMPARE(s.reduceColorMethod, 0);

      // Cancel: the check box is dropped, the method click stays for this run only.
      hooks.onDialog = [](QDialog& d) {
        ButtonNamed(d, "Clipping blank area")->click();
        ButtonNamed(d, "Optimized median cut")->click();
        d.reject();
        return d.result();
      };
      first.sheet->ShowPreferences();
      QCOMPARE(s.clipBlank, true);
      QCOMPARE(s.reduceColorMethod, 1);
    }
    const std::string ini = testsupport::ReadFileText(config.file("quorbel/quorbel.ini"));
    QVERIFY(ini.find("[quorbel]") != std::string::npos);
    TestApp second;
    const ProgramSettings& s = second.state->ctx->settings;
    QCOMPARE(s.antiAliasing, false);
    QCOMPARE(s.clipBlank, true);
    QCOMPARE(s.reduceColorMethod, 0);
    qunsetenv("XDG_CONFIG_HOME");
  }
};

std::unique_ptr<QObject> MakePreferencesTests() { return std::make_unique<PreferencesTests>(); }

#include "preferences_test.moc"
