#!/usr/bin/env bash
# Draws the tab strip's skin bitmaps and the About window's icons with ImageMagick 6.
# The PNGs are committed; run this again only after changing a colour or a shape here.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

rgba() { convert "$@" -define png:color-type=6 -depth 8 -strip "${@: -1}"; }

# Strip background 150 x 25: a soft vertical gradient, one darker line at the bottom.
convert -size 150x25 gradient:'#f6f7f9-#e7e9ed' -fill '#c9ced6' -draw 'line 0,24 149,24' \
    -define png:color-type=2 -depth 8 -strip TabSet_Background.png

# Tabs 60 x 23: rounded top corners, open at the bottom.
tab() { # name top bottom border [accent]
    convert -size 60x23 gradient:"$2-$3" \
        \( -size 60x23 xc:none -fill white -draw 'roundrectangle 0,0 59,30 4,4' \) \
        -alpha off -compose CopyOpacity -composite -compose Over \
        -fill none -stroke "$4" -strokewidth 1 -draw 'roundrectangle 0.5,0.5 59.5,30 4,4' \
        ${5:+-stroke "$5" -strokewidth 2 -draw 'line 3,1.5 56,1.5'} \
        -define png:color-type=6 -depth 8 -strip "$1"
}
tab TabSet_Tab_Up.png '#eef0f4' '#e1e5eb' '#c3c9d2'
tab TabSet_Tab_Hover.png '#f7faff' '#e6eefa' '#94b2de'
tab TabSet_Tab_Down.png '#ffffff' '#ffffff' '#9aabc4' '#2f7be5'
# Unselected tabs continue the strip's bottom line; the selected one opens into the page.
for f in TabSet_Tab_Up.png TabSet_Tab_Hover.png; do
    convert "$f" -fill '#c9ced6' -draw 'line 0,22 59,22' -define png:color-type=6 -depth 8 -strip "$f"
done

button() { # name width height fill border
    convert -size "$2x$3" xc:none -fill "$4" -stroke "$5" -strokewidth 1 \
        -draw "roundrectangle 0.5,0.5 $(($2 - 1)).5,$(($3 - 1)).5 3,3" png:-
}

# Tab-list button 22 x 18: three list lines and a small drop-down triangle.
pick() { # name fill border glyph
    button x 22 18 "$2" "$3" | convert png:- -stroke "$4" -strokewidth 1.4 \
        -draw 'line 5,5.5 11,5.5' -draw 'line 5,8.5 11,8.5' -draw 'line 5,11.5 11,11.5' \
        -stroke none -fill "$4" -draw 'polygon 13.5,7 18.5,7 16,10' \
        -define png:color-type=6 -depth 8 -strip "$1"
}
pick TabSet_PickButton_Up.png '#f9fafb' '#c3c9d2' '#4b5563'
pick TabSet_PickButton_Hover.png '#e6effc' '#7fa3dc' '#1f5fbf'

# Scroll buttons 15 x 15: a chevron.
scroll() { # name fill border glyph points
    button x 15 15 "$2" "$3" | convert png:- -fill none -stroke "$4" -strokewidth 1.6 \
        -draw "polyline $5" -define png:color-type=6 -depth 8 -strip "$1"
}
for state in Up:'#f9fafb':'#c3c9d2':'#4b5563' Hover:'#e6effc':'#7fa3dc':'#1f5fbf' \
    Disabled:'#f1f2f4':'#d5d9df':'#b8bec7'; do
    IFS=: read -r name fill border glyph <<<"$state"
    scroll "TabSet_ScrollLeftButton_$name.png" "$fill" "$border" "$glyph" '8.5,4 5,7.5 8.5,11'
    scroll "TabSet_ScrollRightButton_$name.png" "$fill" "$border" "$glyph" '6,4 9.5,7.5 6,11'
done

# Application icon 32 x 32: a note sheet with a folded corner and ruled lines.
convert -size 32x32 xc:none \
    \( -size 28x28 gradient:'#4c9bf5-#1f63c9' \( -size 28x28 xc:none -fill white \
        -draw 'polygon 0,3 3,0 20,0 28,8 28,25 25,28 3,28 0,25' \) \
        -alpha off -compose CopyOpacity -composite \) -geometry +2+2 -compose Over -composite \
    -fill '#a9cdfa' -stroke none -draw 'polygon 22,2 30,10 22,10' \
    -stroke white -strokewidth 2 -draw 'line 8,13 24,13' -draw 'line 8,18 24,18' -draw 'line 8,23 18,23' \
    -define png:color-type=6 -depth 8 -strip ../icons/Jotvane.png

# Small icons of the About window's links, 16 x 16.
convert -size 16x16 xc:none -fill '#fdf6e3' -stroke '#c27c0e' -strokewidth 1 \
    -draw 'roundrectangle 1.5,3.5 14.5,12.5 1,1' -fill none -draw 'polyline 2,4.5 8,9 14,4.5' \
    -define png:color-type=6 -depth 8 -strip ../icons/Email.png
convert -size 16x16 xc:none -fill '#e3f0fd' -stroke '#1f63c9' -strokewidth 1 \
    -draw 'circle 8,8 8,1.5' -fill none -draw 'ellipse 8,8 3,6.5 0,360' -draw 'line 1.5,8 14.5,8' \
    -draw 'line 2.5,4.5 13.5,4.5' -draw 'line 2.5,11.5 13.5,11.5' \
    -define png:color-type=6 -depth 8 -strip ../icons/Web.png
