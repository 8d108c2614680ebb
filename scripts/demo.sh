#!/usr/bin/env bash
# Prints the bundled sample document through the real CUPS filter chain
# (cupsfilter: pdftopdf, ghostscript's raster device, rastertozelt) with the
# project's PPD for the Pro model and its default options, and leaves in out/:
#   sample.prn        the printer stream
#   sample.log        the filters' status lines
#   sample-pageN.png  a preview of each page (when zeltview is built)
# Installs what is needed first and needs no running cupsd and no installed
# driver.  Extra arguments go to cupsfilter, for instance
#   bash scripts/demo.sh -o ColorModel=Photo -o Resolution=300dpi
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

# Build only what the demo runs.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(rastertozelt zelt_ppds)
if grep -qw zeltview <<<"$(cmake --build build --target help)"; then targets+=(zeltview); fi
cmake --build build -j"$(nproc)" --target "${targets[@]}"

sample=samples/sample.pdf
[ -f "$sample" ] || bash samples/make-sample.sh "$sample"

# cupsfilter runs the filters from the ServerBin of a cups-files.conf: a
# private one holds the system's filters and the freshly built rastertozelt.
serverbin=build/demo-serverbin
system_serverbin="$(cups-config --serverbin)"
rm -rf "$serverbin"
mkdir -p "$serverbin/filter"
for entry in "$system_serverbin"/*; do
  [ "$(basename "$entry")" = filter ] || ln -s "$entry" "$serverbin/"
done
ln -s "$system_serverbin"/filter/* "$serverbin/filter/"
rm -f "$serverbin/filter/rastertozelt"
install -m 0755 build/rastertozelt "$serverbin/filter/rastertozelt"
printf 'ServerBin %s\n' "$PWD/$serverbin" > build/demo-cups-files.conf

mkdir -p out
rm -f out/sample.prn out/sample.log out/sample-page*.png
echo "Printing $sample with build/ppd/zeltpro.ppd ${*:-(default options)}..."
if ! cupsfilter -c build/demo-cups-files.conf -p build/ppd/zeltpro.ppd -e -m printer/zelt \
       "$@" "$sample" > out/sample.prn 2> out/sample.log; then
  grep -E '^(ERROR|WARN)' out/sample.log >&2 || tail -20 out/sample.log >&2
  echo "cupsfilter failed; the whole log is in out/sample.log" >&2
  exit 1
fi

previews=()
if [ -x build/zeltview ]; then
  build/zeltview out/sample.prn
  # A quarter of the printer's resolution is plenty for a look at the page.
  build/zeltview --scale 4 --png out/sample out/sample.prn >/dev/null
  previews=(out/sample-page*.png)
fi

echo
echo "Printer stream: $PWD/out/sample.prn ($(stat -c %s out/sample.prn) bytes)"
echo "Filter log:     $PWD/out/sample.log"
for p in "${previews[@]}"; do
  case "$p" in *-plane*) ;; *) echo "Preview:        $PWD/$p" ;; esac
done
if ((${#previews[@]})); then
  echo "(one preview per page; out/sample-pageN-planeP.png show the planes one by one)"
fi
