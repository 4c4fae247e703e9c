// The program's user-visible texts, in UTF-8. Used by the resource script (which reads them
// as UTF-8 through its code page pragma) and by the terminal dialogs alike.
#pragma once

#define NVX_TEXT_MAIN_CAPTION "VORTAN Express"
#define NVX_TEXT_ADD_BUTTON "Přidat VORTAN Express do profilu AutoCADu LT"
#define NVX_TEXT_REMOVE_BUTTON "Odebrat VORTAN Express z profilu AutoCADu LT"
#define NVX_TEXT_CLOSE_BUTTON "Zavřít"
#define NVX_TEXT_OK_BUTTON "OK"
#define NVX_TEXT_SELECT_CAPTION "Nalezené profily AutoCADu LT"
#define NVX_TEXT_ADD_PROMPT "Vyberte profil, do kterého se má přidat Norvex Express"
#define NVX_TEXT_REMOVE_PROMPT "Vyberte profil, ze kterého se má Norvex Express odebrat"
#define NVX_TEXT_RELEASES \
  "AutoCADu LT 2004 (2005, 2006, 2007, 2008, 2009, 2010, 2011, 2012, 2013, 2014)"
#define NVX_TEXT_ADDED "Vortan Express byl přidán do " NVX_TEXT_RELEASES
#define NVX_TEXT_ADD_FAILED "Vortan Express se nepodařilo přidat do " NVX_TEXT_RELEASES
#define NVX_TEXT_REMOVED "Vortan Express byl odebrán z " NVX_TEXT_RELEASES
#define NVX_TEXT_REMOVE_FAILED "Vortan Express se nepodařilo odebrat z " NVX_TEXT_RELEASES
#define NVX_TEXT_HOST_RUNNING "AutoCAD LT je spuštěn. Ukončete ho a zkuste to znovu."
#define NVX_TEXT_MESSAGE_CAPTION "Norvex_Express"

// The command line's help; the options themselves are not translated.
#define NVX_TEXT_USAGE                                                                              \
  "Použití: NorvexExpress [-i | -r | --status] [--all-users] [--dry-run] [--log SOUBOR]\n"        \
  "                      [--log-format text|cmtrace] [--retry-at-logon] | --version\n"              \
  "  (bez parametrů)  otevře hlavní okno\n"                                                      \
  "  -i, -I, /i       tiše přidá Norvex Express do všech profilů AutoCADu LT\n"                \
  "  -r, -R, /r       tiše odebere Norvex Express ze všech profilů\n"                            \
  "  --status         nic nemění; pro každý profil vypíše stav (present, absent, partial)\n"  \
  "                   nebo důvod chyby\n"                                                          \
  "  --dry-run        s -i nebo -r: nic nezapíše, jen vypíše, co by se změnilo\n"              \
  "  --log SOUBOR     s -i, -r nebo --status: připíše průběh na konec souboru (UTF-8)\n"       \
  "  --log-format cmtrace  s --log: protokol ve formátu prohlížečů Configuration Manageru\n"   \
  "  --all-users      s -i, -r nebo --status: pro všechny uživatele počítače (správce)\n"     \
  "  --retry-at-logon s -i nebo -r: nemá-li uživatel ještě profil nebo AutoCAD LT běží,\n"   \
  "                   zopakuje se běh při jeho příštím přihlášení (RunOnce)\n"            \
  "  -h, --help, /?   vypíše tuto nápovědu\n"                                                   \
  "  --version        vypíše verzi programu\n"                                                    \
  "Řádky výstupu i protokolu mají pět sloupců oddělených tabulátorem: uživatel (jen s\n"  \
  "--all-users), profil, soubor nebo klíč registru, výsledek (stav, added, removed,\n"           \
  "unchanged, would add, would remove, skipped, retry-at-logon nebo kód důvodu) a český\n"      \
  "text důvodu (při úspěchu prázdný).\n"                                                      \
  "Návratové kódy: 0 hotovo, 1 některý profil se nepodařilo upravit (--status: chybí nebo\n" \
  "je neúplný), 2 nic nenalezeno (s --retry-at-logon: dokončí se při přihlášení),\n"       \
  "3 AutoCAD LT běží (zkuste později), 64 nesrozumitelný příkazový řádek.\n"
// On standard error, when the log is refused or cannot be written: the first text, the log's
// path, the second text and the reason.
#define NVX_TEXT_LOG_REFUSED "Norvex Express: do protokolu "
#define NVX_TEXT_LOG_REFUSED_WHY " nelze zapisovat, běh pokračuje bez něj: "
#define NVX_TEXT_LOG_IS_LINK "je to odkaz"
#define NVX_TEXT_LOG_NOT_REGULAR "není to obyčejný soubor"
#define NVX_TEXT_LOG_MANY_NAMES "soubor má více názvů"
