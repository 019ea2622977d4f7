#!/bin/sh
# Regenerates the AFP test files in tests/data/ from their XSL-FO sources,
# with FOP's PDF of the same source and the word boxes pdftotext finds in it
# (X.pdf, X.bbox: the reference for where the words of X.afp land).
#
# Needs Apache FOP as packaged by Debian (`apt-get install fop`, tested with
# FOP 2.8). The generated .afp files are committed, so nobody needs FOP to
# build or run the tests; run this only after changing a .fo file.
#
# FOP runs with its default AFP setup (no configuration file): text uses the
# core raster fonts it maps Helvetica/Times to, code page T1V10500; a file
# with a configuration of its own (X.xconf beside X.fo) uses that instead
# (codepages: fonts in code pages 273 and 1140; chart: graphics in colour
# rather than grey). The .bbox files need pdftotext (Debian poppler-utils).
# The output
# is not expected to be byte-identical across FOP versions; tests compare the
# committed files, never a fresh regeneration.
#
# Usage: scripts/make_test_data.sh            (all .fo files in tests/data)
#        scripts/make_test_data.sh hello      (only tests/data/hello.fo)
set -eu

cd "$(dirname "$0")/../tests/data"

if ! command -v fop >/dev/null 2>&1; then
    echo "make_test_data.sh: fop not found (Debian: apt-get install fop)" >&2
    exit 1
fi

if [ "$#" -eq 0 ]; then
    set -- hello letter invoice graphics statements layout codepages pages colour images chart truetype
fi

# Pages whose raster at 72 dpi (pdftoppm of FOP's PDF, X-N.fop.png) is the
# reference for pressel render's PNG output.
rasters=" layout invoice pages graphics chart "

for name in "$@"; do
    name=${name%.fo}
    if [ "$name" = truetype ]; then
        # A TrueType font embedded as an object container and mapped by MDR,
        # its text in UTF-16BE. The font's data (400 KB) is stripped from the
        # committed file: text extraction needs the map, not the outlines.
        pressel=../../build/release/pressel
        fop -q -c truetype.xconf -fo truetype.fo -afp truetype.full.afp 2>&1 |
            grep -v -e '^\[warning\] /usr/bin/fop:' >&2 || true
        "$pressel" strip -q truetype.full.afp truetype.afp OCD
        rm -f truetype.full.afp
        ls -l truetype.afp
        continue
    fi
    if [ "$name" = images ]; then
        # One document, four image set-ups of FOP's AFP output
        # (images-M.xconf): 1-bit bilevel, 8-bit grey, colour with the JPEG
        # embedded as it is, and function set FS45. Its PDF, rasterised at
        # 72 dpi, is the reference for the drawn images.
        for m in bw grey colour fs45; do
            fop -q -c "images-$m.xconf" -fo images.fo -afp "images-$m.afp" 2>&1 |
                grep -v -e '^\[warning\] /usr/bin/fop:' -e 'No AFP fonts configured' >&2 || true
        done
        fop -q -fo images.fo -pdf images.pdf >/dev/null 2>&1
        pdftoppm -r 72 -png images.pdf images.raster
        mv images.raster-1.png images-1.fop.png
        ls -l images-*.afp images.pdf images-1.fop.png
        continue
    fi
    echo "fop: $name.fo -> $name.afp"
    # FOP resolves relative image paths (logo.png) against the current directory.
    config=""
    if [ -f "$name.xconf" ]; then config="-c $name.xconf"; fi
    # shellcheck disable=SC2086
    if ! fop -q $config -fo "$name.fo" -afp "$name.afp.tmp" >"$name.log.tmp" 2>&1; then
        cat "$name.log.tmp" >&2
        rm -f "$name.log.tmp" "$name.afp.tmp"
        exit 1
    fi
    # Drop the Debian wrapper's JVM chatter and FOP's "no AFP fonts configured".
    grep -v -e '^\[warning\] /usr/bin/fop:' -e 'No AFP fonts configured' \
        "$name.log.tmp" >&2 || true
    rm -f "$name.log.tmp"
    mv "$name.afp.tmp" "$name.afp"
    # shellcheck disable=SC2086
    fop -q $config -fo "$name.fo" -pdf "$name.pdf" >/dev/null 2>&1
    # The bbox form without its creation date, so that it only changes with the layout.
    pdftotext -bbox "$name.pdf" - | grep -v 'name="CreationDate"' >"$name.bbox"
    ls -l "$name.afp" "$name.pdf" "$name.bbox"
    case "$rasters" in *" $name "*)
        pdftoppm -r 72 -png "$name.pdf" "$name.raster"
        for f in "$name".raster-*.png; do
            n=${f#"$name".raster-}
            mv "$f" "$name-${n%.png}.fop.png"
        done
        ls -l "$name"-*.fop.png ;;
    esac
done
