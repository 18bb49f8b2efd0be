# Debian 12 packages, sourced by the run and test scripts.
# What the program needs to build and run:
VANTREL_BUILD_PACKAGES="cmake ninja-build g++ pkg-config qt6-base-dev qt6-qpa-plugins libqt6sql6-sqlite libgl-dev libsqlite3-dev libpq-dev zlib1g-dev libzip-dev qtkeychain-qt6-dev qt6-svg-dev fonts-dejavu-core libcups2-dev cmark libgtest-dev"
# What the tests need besides: GoogleTest, the peers that read our files
# back (the sqlite3 shell, Info-ZIP, 7-Zip, poppler for PDF pages), and the
# PostgreSQL server the server backend's tests run against (scripts/test-server),
# and the CUPS server with its PDF queue the print tests send to
# (scripts/test-cups).
VANTREL_TEST_PACKAGES="libgtest-dev sqlite3 zip unzip p7zip-full poppler-utils postgresql cups printer-driver-cups-pdf"
# What CI needs besides: clang-format for the layout check, clang (with
# libFuzzer) for the fuzz targets.
VANTREL_CI_PACKAGES="clang-format clang"
# What making and checking the Debian package needs: dpkg-shlibdeps for its
# dependencies, the validators of its desktop files, lintian; and for the
# install check, an X server to start the main menu on and its inspectors.
VANTREL_PACKAGE_PACKAGES="dpkg-dev file lintian appstream desktop-file-utils"
VANTREL_INSTALL_CHECK_PACKAGES="xvfb xauth x11-utils"

vantrel_install() {
    local sudo=""
    if [ "$(id -u)" != "0" ]; then sudo="sudo"; fi
    # Only ask apt when something is missing, so repeated runs stay quick.
    local missing=""
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    if [ -n "$missing" ]; then
        $sudo apt-get update
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y $missing
    fi
}
