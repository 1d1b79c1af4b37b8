#!/usr/bin/env bash
# Installs the build into a staging prefix and checks it as a user and another program would meet it:
# the programs run from there, the desktop entry is valid, the man pages cover every oftool command,
# a consumer builds against the installed framework, renderer and formats (CMake package and pkg-config),
# round-trips a font, renders one and writes a BDF font, and the .deb holds all of it with the right dependencies.
# Usage: check_install.sh BUILD_DIR CONSUMER_SOURCE_DIR [QT_MAJOR]   (5, the default, or 6)
set -euo pipefail
build=$(cd "$1" && pwd)
consumer=$(cd "$2" && pwd)
qt=${3:-5}
# The Qt 6 framework is named apart, so that both can be installed side by side.
if [ "$qt" = 5 ]; then
    name=quillmeremakefont
    package=QuillmereMakeFont
    qtpackages="libqt5core5a libqt5gui5 libqt5widgets5 libqt5xml5"
    otherqt=6
else
    name=quillmeremakefont-qt6
    package=QuillmereMakeFontQt6
    qtpackages="libqt6core6 libqt6gui6 libqt6widgets6 libqt6xml6"
    otherqt=5
fi
renderer=${name/quillmeremakefont/quillmeremakefont-renderer}
formats=${name/quillmeremakefont/quillmeremakefont-formats}
work=$build/install-check
stage=$work/stage
export QT_QPA_PLATFORM=offscreen

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
step() {
    echo "== $*"
}

rm -rf "$work"
mkdir -p "$work"

step "install into $stage"
cmake --install "$build" --prefix "$stage" >"$work/install.log"
libdir=$(sed -n 's/^libdir=\${prefix}\///p' "$build/framework/$name.pc.in")
for file in bin/QuillmereMakeFont bin/oftool \
    "$libdir/lib$name.so" "$libdir/lib$name.so.0" "$libdir/lib$renderer.so" "$libdir/lib$renderer.so.0" \
    "$libdir/lib$formats.so" "$libdir/lib$formats.so.0" "include/$name/formats/bdffont.h" \
    "include/$name/formats/conversion.h" "$libdir/pkgconfig/$formats.pc" \
    "include/$name/models/font.h" "include/$name/models/character.h" \
    "include/$name/models/characterpicture.h" "include/$name/iomanager/fontfilemanager.h" \
    "include/$name/iomanager/diagnostic.h" "include/$name/iomanager/glyphfilename.h" \
    "include/$name/quillmeremakefont_export.h" "include/$name/renderer/glyphrenderer.h" \
    "include/$name/renderer/glyphfit.h" "include/$name/renderer/renderer_export.h" "$libdir/pkgconfig/$renderer.pc" \
    "$libdir/cmake/$package/${package}Config.cmake" "$libdir/pkgconfig/$name.pc" \
    share/applications/quillmeremakefont.desktop share/icons/hicolor/scalable/apps/quillmeremakefont.svg \
    share/icons/hicolor/48x48/apps/quillmeremakefont.png share/man/man1/QuillmereMakeFont.1 share/man/man1/oftool.1; do
    [ -e "$stage/$file" ] || fail "not installed: $file"
done
private=$(find "$stage/include" -name '*_p.h')
[ -z "$private" ] || fail "private headers installed: $private"
for library in "$name" "$renderer" "$formats"; do
    soname=$(objdump -p "$stage/$libdir/lib$library.so" | awk '$1 == "SONAME" { print $2 }')
    [ "$soname" = "lib$library.so.0" ] || fail "SONAME of lib$library.so is '$soname'"
done
# Each library exports its own API and nothing else.
foreign=$(nm -D --defined-only "$stage/$libdir/lib$name.so.0" | c++filt | awk '{ $1 = ""; $2 = ""; print }' \
    | grep -Ev '^  (IOManager|Models)::' || true)
[ -z "$foreign" ] || fail "the library exports more than its API: $foreign"
api='InstalledFonts::|(checkerBrush|defaultFontFileName|defaultLetters|drawGlyphTile|fitsPixelBudget|inkRect'
api+='|largestFittingPointSize|measureFont|measureKerning|measureLetter|pixelAnchors|renderGlyphs|renderedPixelSize'
api+='|settingsFont)\('
foreign=$(nm -D --defined-only "$stage/$libdir/lib$renderer.so.0" | c++filt | awk '{ $1 = ""; $2 = ""; print }' \
    | grep -Ev "^  ($api)" || true)
[ -z "$foreign" ] || fail "the renderer exports more than its API: $foreign"
api='(Atlas|Bdf|CharacterMap|Charset|Convert|DatasetFolder|FontSources|GlyphNames|GzipWriter|Manifest|MetricsFile|OutputName|Placement|Sfnt|Shards|Sizes|StagedFile|StagedFiles|TextEncoding)::|mergeFont\(|(typeinfo|vtable|typeinfo name) for GzipWriter'
foreign=$(nm -D --defined-only "$stage/$libdir/lib$formats.so.0" | c++filt | awk '{ $1 = ""; $2 = ""; print }' \
    | grep -Ev "^  ($api)" || true)
[ -z "$foreign" ] || fail "the formats library exports more than its API: $foreign"
# The installed programs must use the installed libraries, not those in the build tree.
for program in QuillmereMakeFont oftool; do
    for library in "$name" "$renderer" "$formats"; do
        [ "$program" = oftool ] || [ "$library" != "$formats" ] || continue
        loaded=$(ldd "$stage/bin/$program" | awk -v library="lib$library.so.0" '$1 == library { print $3 }')
        [ "$(realpath "$loaded")" = "$(realpath "$stage/$libdir/lib$library.so.0")" ] \
            || fail "$program loads lib$library.so.0 from '$loaded', not from the staging prefix"
    done
done
"$stage/bin/oftool" render --size 12 --output "$work/oftool.of" >/dev/null 2>"$work/oftool.err" \
    || fail "installed oftool render failed: $(cat "$work/oftool.err")"
head -1 "$work/oftool.of" | grep -qx '<?xml version="1.0" encoding="UTF-8"?>' || fail "oftool.of is no OF font file"

step "desktop entry"
validation=$(desktop-file-validate "$stage/share/applications/quillmeremakefont.desktop" 2>&1) \
    || fail "desktop-file-validate: $validation"
[ -z "$validation" ] || fail "desktop-file-validate: $validation"
grep -qx 'Exec=QuillmereMakeFont' "$stage/share/applications/quillmeremakefont.desktop" || fail "Exec is not the program"
grep -qx 'Icon=quillmeremakefont' "$stage/share/applications/quillmeremakefont.desktop" || fail "Icon is not the icon"

step "man pages"
commands=$("$stage/bin/oftool" --help 2>/dev/null | awk '/^Commands:$/ { inside = 1; next } inside && /^$/ { inside = 0 } inside && /^  [^ ]/ { print $1 }')
[ -n "$commands" ] || fail "oftool --help lists no commands"
for command in $commands; do
    grep -qx ".SS \"oftool $command\"" "$stage/share/man/man1/oftool.1" || fail "oftool.1 lacks the command $command"
    # Every option of the command is in its section.
    for option in $("$stage/bin/oftool" "$command" --help 2>/dev/null | grep -o -- '--[a-z][a-z-]*' | sort -u); do
        grep -qF -- "${option//-/\\-}" "$stage/share/man/man1/oftool.1" || fail "oftool.1 lacks $command $option"
    done
done
if command -v man >/dev/null; then
    for page in oftool QuillmereMakeFont; do
        # A container may refuse man's sandbox; only the formatter's own complaints count.
        text=$(LC_ALL=C.UTF-8 MAN_DISABLE_SECCOMP=1 MANWIDTH=100 man --warnings -M "$stage/share/man" "$page" \
            2>"$work/man.err") || fail "man $page failed: $(cat "$work/man.err")"
        ! grep -E "troff|warning|error" "$work/man.err" || fail "man $page warns"
        [ "$page" = oftool ] || continue
        for command in $commands; do
            grep -q "^   oftool $command\$" <<<"$text" || fail "man oftool does not show $command"
        done
    done
else
    echo "man is not installed: the pages were not rendered"
fi

# A consumer that loaded both Qt versions would crash: the framework has to bring its own Qt along.
same_qt_only() {
    local libraries
    libraries=$(ldd "$1")
    grep -q "libQt${qt}Core" <<<"$libraries" || fail "$1 does not load Qt $qt"
    ! grep "libQt${otherqt}" <<<"$libraries" || fail "$1 loads Qt $otherqt"
}

step "consumer with find_package"
grep -q "^find_dependency(Qt$qt " "$stage/$libdir/cmake/$package/${package}Config.cmake" \
    || fail "the CMake package does not name Qt $qt: $(grep find_dependency "$stage/$libdir/cmake/$package/${package}Config.cmake")"
cmake -S "$consumer" -B "$work/cmake-consumer" -DCMAKE_PREFIX_PATH="$stage" -DQMF_PACKAGE="$package" \
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >"$work/consumer.log" || fail "configure: $(cat "$work/consumer.log")"
grep -qx "${package}_DIR:PATH=$stage/$libdir/cmake/$package" "$work/cmake-consumer/CMakeCache.txt" \
    || fail "find_package found another $package: $(grep "${package}_DIR" "$work/cmake-consumer/CMakeCache.txt")"
cmake --build "$work/cmake-consumer" >>"$work/consumer.log" 2>&1 || fail "build: $(cat "$work/consumer.log")"
same_qt_only "$work/cmake-consumer/consumer"
"$work/cmake-consumer/consumer" "$work/cmake-first.of" "$work/cmake-second.of" "$work/cmake-rendered.of" \
    "$work/cmake-glyph.bdf"

step "consumer with pkg-config"
export PKG_CONFIG_PATH=$stage/$libdir/pkgconfig
requires=$(pkg-config --print-requires "$name") || fail "pkg-config does not know $name"
[ "$(awk '{ print $1 }' <<<"$requires" | sort | tr '\n' ' ')" = "Qt${qt}Core Qt${qt}Gui Qt${qt}Xml " ] \
    || fail "$name.pc requires: $requires"
flags=$(pkg-config --cflags --libs "$name" "$renderer" "$formats") \
    || fail "pkg-config does not know $name, $renderer or $formats"
# shellcheck disable=SC2086 # the flags are words
"${CXX:-c++}" -std=c++17 -Wall -Wextra -Werror -o "$work/pkg-consumer" "$consumer/consumer.cpp" $flags \
    || fail "the pkg-config consumer does not build"
LD_LIBRARY_PATH=$stage/$libdir same_qt_only "$work/pkg-consumer"
LD_LIBRARY_PATH=$stage/$libdir "$work/pkg-consumer" "$work/pkg-first.of" "$work/pkg-second.of" "$work/pkg-rendered.of" \
    "$work/pkg-glyph.bdf"
cmp "$work/cmake-first.of" "$work/pkg-first.of" || fail "both consumers should write the same bytes"
cmp "$work/cmake-rendered.of" "$work/pkg-rendered.of" || fail "both consumers should render the same bytes"
cmp "$work/cmake-glyph.bdf" "$work/pkg-glyph.bdf" || fail "both consumers should write the same BDF bytes"

step "Debian package"
(cd "$build" && cpack -G DEB -B "$work/deb" >"$work/cpack.log" 2>&1) || fail "cpack: $(cat "$work/cpack.log")"
deb=$(ls "$work/deb/${name}"_*.deb)
dpkg-deb -f "$deb"
depends=$(dpkg-deb -f "$deb" Depends)
for dependency in $qtpackages libstdc++6 libc6; do
    grep -Eq "(^|, )${dependency//+/\\+}( |,|$)" <<<"$depends" || fail "Depends lacks $dependency: $depends"
done
! grep -Eo "libqt${otherqt}[a-z0-9-]*" <<<"$depends" || fail "Depends names Qt $otherqt: $depends"
[ "$(dpkg-deb -f "$deb" Recommends)" = fonts-dejavu-core ] || fail "Recommends: $(dpkg-deb -f "$deb" Recommends)"
if [ "$qt" = 6 ]; then
    # Its programs have the Qt 5 package's paths.
    [ "$(dpkg-deb -f "$deb" Conflicts)" = quillmeremakefont ] || fail "Conflicts: $(dpkg-deb -f "$deb" Conflicts)"
fi
dpkg-deb -c "$deb" | awk '{ print $6 }' >"$work/deb-contents"
for file in ./usr/bin/QuillmereMakeFont ./usr/bin/oftool ./usr/share/applications/quillmeremakefont.desktop \
    ./usr/share/icons/hicolor/scalable/apps/quillmeremakefont.svg ./usr/share/man/man1/oftool.1 \
    ./usr/share/man/man1/QuillmereMakeFont.1 "./usr/include/$name/models/font.h" \
    "./usr/$libdir/lib$name.so.0" "./usr/$libdir/lib$renderer.so.0" "./usr/$libdir/lib$formats.so.0" \
    "./usr/$libdir/pkgconfig/$name.pc" \
    "./usr/$libdir/cmake/$package/${package}Config.cmake"; do
    grep -qxF "$file" "$work/deb-contents" || fail ".deb lacks $file"
done
dpkg-deb -x "$deb" "$work/debroot"
grep -qx 'prefix=/usr' "$work/debroot/usr/$libdir/pkgconfig/$name.pc" || fail "the packaged .pc has another prefix"
! grep -rlF "$build" "$work/debroot" || fail "the .deb refers to the build directory"

echo "install check passed"
