#!/usr/bin/env bash
# Pages per second of `pressel render` to PDF and to PNG at 150 dpi on a long
# text document, against poppler's pdftoppm rasterising FOP's PDF of the same
# document at 150 dpi in the same run (the ratio is what to compare between
# machines, not the times).
#
#   bench/render.sh                 200 pages
#   PAGES=500 bench/render.sh       a longer document
#   DOC=images bench/render.sh      an image-heavy document instead: every page
#                                   has six pictures (a 600x400 photograph as
#                                   JPEG, the same as a PNG FOP writes as
#                                   uncompressed RGB, a 1-bit scan, small logos)
#                                   made with ImageMagick, FOP writing IOCA
#   BUILD_DIR=build/x bench/render.sh
#
# Needs FOP (Debian fop) to make the document; without it the pages of
# tests/data/letter.afp are repeated instead and the pdftoppm baseline is
# skipped. The baseline is skipped too when pdftoppm (poppler-utils) is
# missing. Each measurement is the best of three runs.
set -euo pipefail

cd "$(dirname "$0")/.."
PAGES=${PAGES:-200}
DOC=${DOC:-text}
BUILD_DIR=${BUILD_DIR:-build/release}
if [[ $BUILD_DIR == build/release ]]; then
  cmake --preset release >/dev/null
fi
cmake --build "$BUILD_DIR" -j2 --target pressel_tool pressel_gen_stream >/dev/null
TOOL="$BUILD_DIR/pressel"
"$TOOL" render --help >/dev/null 2>&1 || { echo "pressel was built without cairo: no render command" >&2; exit 1; }

WORK=$(mktemp -d /tmp/pressel_render_bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

echo "== machine"
echo "$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"

# A long text document: paragraphs in Times and Helvetica, headings, a ruled
# table on every page.
make_fo() {
  local words="Print streams carry pages of text set in the fonts of the printer, placed by inline and baseline moves, with rules and colours; a reader that draws them must place every character where the stream says."
  echo '<?xml version="1.0" encoding="UTF-8"?>'
  echo '<fo:root xmlns:fo="http://www.w3.org/1999/XSL/Format"><fo:layout-master-set>'
  echo '<fo:simple-page-master master-name="A4" page-width="210mm" page-height="297mm" margin="20mm"><fo:region-body/></fo:simple-page-master>'
  echo '</fo:layout-master-set><fo:page-sequence master-reference="A4"><fo:flow flow-name="xsl-region-body">'
  for ((p = 1; p <= PAGES; p++)); do
    echo "<fo:block font-family=\"Helvetica\" font-size=\"14pt\" font-weight=\"bold\" break-before=\"page\">Section $p</fo:block>"
    for ((k = 1; k <= 9; k++)); do
      echo "<fo:block font-family=\"Times\" font-size=\"10pt\" space-before=\"2mm\" text-align=\"justify\">$words $words $words</fo:block>"
    done
    echo '<fo:table table-layout="fixed" width="170mm" space-before="3mm" font-family="Helvetica" font-size="9pt" border="0.5pt solid black"><fo:table-column column-width="100mm"/><fo:table-column column-width="70mm"/><fo:table-body>'
    for ((r = 1; r <= 5; r++)); do
      echo "<fo:table-row><fo:table-cell border=\"0.5pt solid black\"><fo:block>Row $r of page $p</fo:block></fo:table-cell><fo:table-cell border=\"0.5pt solid black\"><fo:block text-align=\"end\">$((p * 100 + r)).00</fo:block></fo:table-cell></fo:table-row>"
    done
    echo '</fo:table-body></fo:table>'
  done
  echo '</fo:flow></fo:page-sequence></fo:root>'
}

# An image-heavy document: six pictures and a caption on every page.
make_images_fo() {
  echo '<?xml version="1.0" encoding="UTF-8"?>'
  echo '<fo:root xmlns:fo="http://www.w3.org/1999/XSL/Format"><fo:layout-master-set>'
  echo '<fo:simple-page-master master-name="A4" page-width="210mm" page-height="297mm" margin="20mm"><fo:region-body/></fo:simple-page-master>'
  echo '</fo:layout-master-set><fo:page-sequence master-reference="A4"><fo:flow flow-name="xsl-region-body">'
  for ((p = 1; p <= PAGES; p++)); do
    echo "<fo:block font-family=\"Helvetica\" font-size=\"12pt\" break-before=\"page\">Pictures, page $p</fo:block>"
    echo "<fo:block><fo:external-graphic src=\"$WORK/photo.jpg\" content-width=\"80mm\"/> <fo:external-graphic src=\"$WORK/photo.png\" content-width=\"80mm\"/></fo:block>"
    echo "<fo:block><fo:external-graphic src=\"$WORK/scan.png\" content-width=\"160mm\"/></fo:block>"
    echo "<fo:block><fo:external-graphic src=\"$PWD/tests/data/logo.png\" content-width=\"20mm\"/> <fo:external-graphic src=\"$PWD/tests/data/colour.png\" content-width=\"30mm\"/> <fo:external-graphic src=\"$PWD/tests/data/stripes.png\" content-width=\"20mm\"/></fo:block>"
  done
  echo '</fo:flow></fo:page-sequence></fo:root>'
}

HAVE_PDF=0
if command -v fop >/dev/null 2>&1 && [[ $DOC == images ]]; then
  command -v convert >/dev/null 2>&1 || { echo "DOC=images needs ImageMagick (convert)" >&2; exit 1; }
  echo "== FOP: $PAGES pages of images to AFP (IOCA, JPEG embedded) and PDF"
  convert -size 600x400 plasma:fractal -seed 7 -quality 85 "$WORK/photo.jpg"
  convert "$WORK/photo.jpg" "$WORK/photo.png"
  convert -size 1200x300 xc:white -stroke black -strokewidth 6 -fill none \
    -draw 'bezier 40,200 200,20 400,280 600,120' -draw 'ellipse 800,150 120,60 0,360' \
    -draw 'line 20,260 1150,265' -monochrome "$WORK/scan.png"
  printf '%s\n' '<fop version="1.0"><renderers><renderer mime="application/x-afp">' \
    '<images mode="color" native="true"><jpeg allow-embedding="true"/></images>' \
    '</renderer></renderers></fop>' >"$WORK/images.xconf"
  make_images_fo >"$WORK/long.fo"
  fop -q -c "$WORK/images.xconf" -fo "$WORK/long.fo" -afp "$WORK/long.afp" >/dev/null 2>&1
  fop -q -fo "$WORK/long.fo" -pdf "$WORK/long.pdf" >/dev/null 2>&1
  HAVE_PDF=1
elif command -v fop >/dev/null 2>&1; then
  echo "== FOP: $PAGES pages to AFP and PDF"
  make_fo >"$WORK/long.fo"
  fop -q -fo "$WORK/long.fo" -afp "$WORK/long.afp" >/dev/null 2>&1
  fop -q -fo "$WORK/long.fo" -pdf "$WORK/long.pdf" >/dev/null 2>&1
  HAVE_PDF=1
else
  echo "== fop not found: letter.afp's pages repeated, no pdftoppm baseline"
  "$BUILD_DIR/pressel_gen_stream" "$WORK/long.afp" 1 tests/data/letter.afp >/dev/null
fi
N=$("$TOOL" text "$WORK/long.afp" | tr -cd '\f' | wc -c)
echo "$N pages, $(stat -c %s "$WORK/long.afp") bytes of AFP"

best() {  # best wall time in seconds of three runs of a command
  local b=""
  for _ in 1 2 3; do
    local s e t
    s=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    e=$(date +%s.%N)
    t=$(echo "$e - $s" | bc -l)
    if [[ -z $b ]] || (($(echo "$t < $b" | bc -l))); then b=$t; fi
  done
  echo "$b"
}
rate() { echo "scale=1; $N / $1" | bc -l; }

echo "== pages per second (best of 3)"
T_PDF=$(best "$TOOL" render -q "$WORK/long.afp" "$WORK/out.pdf")
printf '%-44s %8s pages/s\n' "pressel render to PDF" "$(rate "$T_PDF")"
mkdir -p "$WORK/png"
T_PNG=$(best "$TOOL" render -q --dpi 150 "$WORK/long.afp" "$WORK/png/p%04d.png")
printf '%-44s %8s pages/s\n' "pressel render to PNG, 150 dpi" "$(rate "$T_PNG")"
if ((HAVE_PDF)) && command -v pdftoppm >/dev/null 2>&1; then
  mkdir -p "$WORK/ppm"
  T_PPM=$(best pdftoppm -r 150 -png "$WORK/long.pdf" "$WORK/ppm/p")
  printf '%-44s %8s pages/s\n' "pdftoppm of FOP's PDF to PNG, 150 dpi" "$(rate "$T_PPM")"
  echo "== ratios (higher is faster than the baseline)"
  printf '%-44s %8s\n' "PDF: pressel render / pdftoppm PNG" "$(echo "scale=2; $T_PPM / $T_PDF" | bc -l)"
  printf '%-44s %8s\n' "PNG: pressel render / pdftoppm PNG" "$(echo "scale=2; $T_PPM / $T_PNG" | bc -l)"
else
  echo "pdftoppm baseline skipped"
fi
