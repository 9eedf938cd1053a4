#!/usr/bin/env bash
# Renders the installer's backdrop images and its side-panel document into resources/.
# Needs ImageMagick 6 and fonts-dejavu-core; the results are committed, so the build does not.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="$root/resources"
fonts=/usr/share/fonts/truetype/dejavu
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

page='#ECECEB'    # the page colour: the banner's top-left pixel, the panels' fill
accent='#2F7F96'  # a quiet clinical teal
ink='#4A555E'
shade='rgba(55,65,75,0)'
# Without these, ImageMagick may pick a palette or grey type, 16 bits, or add time stamps.
png_opts=(-depth 8 -strip -define png:exclude-chunks=date,time,gAMA,cHRM)

# BACKGROUND: light paper; the blur wraps around the edges, so the tile is seamless.
convert -size 128x128 xc:'#F3F2EE' -seed 7 -attenuate 0.25 +noise Gaussian \
    -virtual-pixel tile -blur 0x0.7 "${png_opts[@]}" -type TrueColor "PNG24:$out/BACKGROUND.png"

# The title bar is drawn once, 64 wide, and cut into its left end, one middle column and its
# right end, so the three pieces always meet. Its body keeps the page colour from row 15
# down, where the logo and the banner sit on it; a teal line and a soft shadow close it.
convert -size 64x100 xc:"$shade" -fill 'rgba(55,65,75,0.30)' \
    -draw "roundrectangle 5,-12 58,91 10,10" -channel RGBA -blur 0x3 +channel "$tmp/shadow.png"
convert -size 64x100 xc:none -fill white -draw "roundrectangle 5,-12 58,86 10,10" "$tmp/body-mask.png"
convert -size 64x100 xc:none -fill white -draw "roundrectangle 5,-12 58,88 10,10" "$tmp/line-mask.png"
convert -size 64x15 gradient:'#F9F9F8-'"$page" -size 64x85 xc:"$page" -append \
    "$tmp/body-mask.png" -compose CopyOpacity -composite "$tmp/body.png"
convert -size 64x100 xc:"$accent" "$tmp/line-mask.png" -compose CopyOpacity -composite "$tmp/line.png"
convert "$tmp/shadow.png" "$tmp/line.png" -compose over -composite \
    "$tmp/body.png" -compose over -composite "$tmp/bar.png"
convert "$tmp/bar.png" -crop 22x100+0+0 +repage "${png_opts[@]}" "PNG32:$out/TITLE_PNL_L.png"
convert "$tmp/bar.png" -crop 1x100+32+0 +repage "${png_opts[@]}" "PNG32:$out/TITLE_PNL_M.png"
convert "$tmp/bar.png" -crop 22x100+42+0 +repage "${png_opts[@]}" "PNG32:$out/TITLE_PNL_R.png"

# LOGO: a teal badge with an ECG trace, on the bar's own colour, every pixel opaque.
convert -size 72x70 xc:"$page" \
    -fill "$accent" -draw "roundrectangle 4,3 67,66 14,14" \
    -draw "fill none stroke white stroke-width 3.5 stroke-linejoin round stroke-linecap round
           path 'M 12,38 L 24,38 29,30 34,38 38,38 42,16 47,52 51,38 58,38 60,33 62,38'" \
    -alpha set -channel A -evaluate set 100% +channel "${png_opts[@]}" "PNG32:$out/LOGO.png"

# MAIN: the two panels on a transparent surround. The side panel and the page control sit at
# (19,15) 282x441 and (323,15) 619x441 of this image (it is placed at -3,95).
convert -size 958x472 xc:"$shade" -fill 'rgba(55,65,75,0.28)' \
    -draw "roundrectangle 9,6 308,468 12,12" -draw "roundrectangle 314,6 951,468 12,12" \
    -channel RGBA -blur 0x3 +channel "$tmp/panel-shadow.png"
convert "$tmp/panel-shadow.png" -fill "$page" -stroke '#D0D2D1' -strokewidth 1 \
    -draw "roundrectangle 9,4 308,466 12,12" -draw "roundrectangle 314,4 951,466 12,12" \
    "${png_opts[@]}" "PNG32:$out/MAIN.png"

# TITLE2: the banner, on the page colour, with the suite's description and the product name.
convert -size 500x66 xc:"$page" -gravity north \
    -font "$fonts/DejaVuSans.ttf" -pointsize 14 -fill "$ink" \
    -annotate +0+6 'Комплекс суточного мониторирования электрокардиограмм' \
    -font "$fonts/DejaVuSans-Bold.ttf" -pointsize 34 -kerning 3 -fill "$accent" \
    -annotate +0+24 'VELMORA 2' \
    "${png_opts[@]}" -type TrueColor "PNG24:$out/TITLE2.png"

# INFO: the side panel's document, RTF in code page 1251 written as \'xx escapes.
perl -MEncode -CSD -ne '
    for my $c (split //) {
        print ord($c) < 128 ? $c : sprintf("\\'"'"'%02x", ord(encode("cp1251", $c)));
    }' > "$out/INFO.rtf" <<'RTF'
{\rtf1\ansi\ansicpg1251\deff0\deflang1049
{\fonttbl{\f0\fswiss\fcharset204 MS Sans Serif;}}
{\colortbl;\red47\green127\blue150;\red58\green66\blue72;}
\viewkind4\uc1\pard\sa160\cf1\b\f0\fs24 Velmora 2\b0\fs20\par
\cf2 Velmora — комплекс суточного (холтеровского) мониторирования ЭКГ: приём записей с регистраторов, автоматический анализ ритма и сегмента ST, просмотр и правка результатов, печать заключений и архив пациентов.\par
\sa60 Программа установки:\par
\pard\fi-200\li200\tx200\sa60\bullet\tab скопирует программы комплекса и сервер базы данных в выбранную папку;\par
\bullet\tab создаст базу данных пациентов (уже существующая база не перезаписывается);\par
\bullet\tab установит шрифты комплекса и, по вашему выбору, драйвер USB-интерфейса регистратора;\par
\bullet\tab создаст ярлык программы на рабочем столе.\par
\pard\sb100\sa160 Перед установкой закройте другие программы комплекса. Для продолжения нажмите «Далее».\par
}
RTF
