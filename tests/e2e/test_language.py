"""Language selection of the real launchers from the Wine user locale (LANG / LC_ALL)."""
import unittest

from harness import LauncherTestCase


class Language(LauncherTestCase):
    def setUp(self):
        super().setUp()
        self.exe = self.package("app", {"strings": {"errorNoJvm": "x"}})

    def language_of(self, locale, args=()):
        env = {"LANG": locale, "LC_ALL": locale, "LANGUAGE": "", "ZENDRA_LOG": "yes"}
        result = self.run_exe(self.exe, ["-q_qln_internal", *args], env=env)
        log = self.read_log(result)
        lines = [l for l in log.splitlines() if l.startswith("language/country is ")]
        self.assertEqual(len(lines), 1, log)
        return lines[0][len("language/country is "):], log

    def test_user_locale_maps_through_the_table(self):
        for locale, code in (("de_AT.UTF-8", "de_AT"), ("fr_FR.UTF-8", "fr_FR"), ("ja_JP.UTF-8", "ja_JP"),
                             ("en_GB.UTF-8", "en_GB"), ("pt_BR.UTF-8", "pt_BR")):
            with self.subTest(locale=locale):
                self.assertEqual(self.language_of(locale)[0], code)

    def test_format_as_default_flag_is_logged(self):
        code, log = self.language_of("de_DE.UTF-8", ["-Dsun.locale.formatasdefault=true"])
        self.assertEqual(code, "de_DE")
        self.assertIn("sun.locale.formatasdefault is true", log)
        code, log = self.language_of("de_DE.UTF-8", ["-Dsun.locale.formatasdefault=false"])
        self.assertIn("sun.locale.formatasdefault is false", log)


if __name__ == "__main__":
    unittest.main()
