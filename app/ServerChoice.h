#pragma once

#include "store/EngineError.h"

#include <QString>

namespace app {

// Which database this desk works on, kept between runs: a connection URL in
// the user's settings (Database/url) or, for every user of the machine, in
// the site's settings file (/etc/xdg/Vantrel/Vantrel.conf, as DataFolder); none: the
// program folder's Vantrel.mdb. The password is kept in the keyring.
namespace ServerChoice {

// The URL the settings name: the user's, else the site's; empty: the file.
QString savedUrl();
// Puts the choice in force for this run: `url` (from --database), else the
// saved one, with the keyring's password for it.
void applyAtStart(const QString &commandLineUrl);
// Connects to `url` with `password` to check it holds the program's tables,
// then makes it this desk's database, in force and saved (the password in
// the keyring when one answers: *keptInKeyring tells). An empty URL goes
// back to the program folder's file. False with the reason, naming the
// server, when it cannot be used; nothing is changed then.
bool connect(const QString &url, const QString &password, bool *keptInKeyring, store::EngineError *error);
// The main menu's caption: "Main Menu", and where the data is when it is a
// server.
QString mainMenuCaption();

} // namespace ServerChoice
} // namespace app
