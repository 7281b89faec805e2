#!/usr/bin/env bash
# Renders the application icon app/resources/tagdesk.svg into the files that are committed
# beside it: tagdesk.ico (IDI_ICON1 of the Windows build: 32x32, 16x16 and 48x48 at 32 bits per
# pixel, in this order) and the PNG sizes installed into the hicolor icon theme.
# Run it after changing the SVG; the build itself never needs it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
tagdesk_ensure_packages imagemagick librsvg2-bin

res="$root/app/resources"
svg="$res/tagdesk.svg"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# rsvg-convert renders gradients and curves faithfully; ImageMagick only assembles the files.
for size in 16 32 48 256; do
    rsvg-convert -w "$size" -h "$size" -o "$tmp/raw-$size.png" "$svg"
    # -strip keeps the files byte-stable between runs (no time stamps).
    convert "$tmp/raw-$size.png" -alpha set -type TrueColorAlpha -strip "PNG32:$tmp/$size.png"
done

mkdir -p "$res/icons"
for size in 16 32 48 256; do
    cp "$tmp/$size.png" "$res/icons/tagdesk-$size.png"
done

# Every image with its alpha channel gives 32-bit entries.
convert "$tmp/32.png" "$tmp/16.png" "$tmp/48.png" -alpha set -type TrueColorAlpha "$res/tagdesk.ico"

identify "$res/tagdesk.ico"
