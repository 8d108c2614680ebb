#!/usr/bin/env bash
# Makes samples/sample.pdf, the driver's sample document, from samples/sample.ps
# with ghostscript.  The image is kept lossless (Flate, not JPEG) so every
# conversion prints the same pixels, and the date, document ID and XMP packet
# are left out so the same source always gives the same bytes.
#   samples/make-sample.sh [OUTPUT.pdf]     default: samples/sample.pdf
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="${1:-$here/sample.pdf}"

command -v gs >/dev/null || { echo "make-sample.sh: ghostscript (gs) is needed" >&2; exit 1; }

tmp="$(mktemp "${out}.XXXXXX")"
trap 'rm -f "$tmp"' EXIT
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite \
   -dAutoFilterColorImages=false -dColorImageFilter=/FlateEncode \
   -dOmitInfoDate -dOmitID -dOmitXMP \
   -sOutputFile="$tmp" "$here/sample.ps"
chmod 0644 "$tmp"
mv "$tmp" "$out"
trap - EXIT
