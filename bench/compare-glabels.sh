#!/usr/bin/env bash
# Renders the same badges with vellumark-print and with gLabels' batch tool from equivalent data,
# one card a page, one card a page with a QR code of the key (whose codes must read back), and ten
# cards on each A4 sheet, and prints both programs' figures side by side: badges per second, PDF
# bytes per badge, the resolution photographs keep in the PDF, and peak memory; then peak memory of
# vellumark-print for ten times as many badges, to show it does not grow with the batch.
#   BADGES     how many people and badges [1000]
#   WORK_DIR   where the data and outputs go [/tmp/vellumark-bench]
#   BUILD_DIR  release build folder [build-bench]
# The badge, front side only: four fields, a 600x800 JPEG photograph per person, a logo and a
# rectangle, on a card of 4876 x 3090 twips (243.8 x 154.5 points).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
badges=${BADGES:-1000}
work=${WORK_DIR:-/tmp/vellumark-bench}
build=${BUILD_DIR:-$root/build-bench}

"$root/scripts/install-deps.sh" glabels time
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELLUMARK_TESTS=OFF \
    -DVELLUMARK_BENCH=ON >/dev/null
cmake --build "$build" --target vellumark-print vellumark-demo bench_read_codes >/dev/null
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}

rm -rf "$work"
mkdir -p "$work"
echo "Creating $badges people with 600x800 photographs in $work/project ..."
"$build/src/vellumark-demo" "$work/project" --people "$badges" --every-picture --csv "$work/people.csv" >/dev/null
project=$work/project/data/Demo.Prj
logo=$work/project/Logo/logo.png
database=$work/project/data/demo.sqlite

# The benchmark badge as Vellumark stores it.
lines=()
line() { lines+=("$1"); }
geometry() { line "left:$1"; line "top:$2"; line "width:$3"; line "height:$4"; }
text_field() { # index reference left top size bold
    line "Field:$1"; line "FieldName:$2"; geometry "$3" "$4" 2000 300
    line "fontname:DejaVu Sans"; line "fontsize:$5"; line "fontcolor:0"; line "bold:$6"
    line "italic:False"; line "underline:False"; line "backstyle:0"; line "backcolor:16777215"
}
badge() { # fields: 4, or 5 with the key as a QR code (its companion file says so)
    lines=()
    line "ProjectName:Demo"; line "DatabasePath=$database"; line "Orientation:1"
    line "=================FRONT SIDE====================="
    line "TotalComments:0"
    line "TotalFields:$1"
    text_field 1 "<Employee.FirstName>" 1980 860 15 True
    text_field 2 "<Employee.LastName>" 1980 1200 15 True
    text_field 3 "<Employee.Title>" 1980 1620 10 False
    text_field 4 "<Department.DeptName>" 1980 1900 10 False
    if [[ $1 == 5 ]]; then
        line "Field:5"; line "FieldName:<Employee.EmpNo>"; geometry 3900 150 840 840
        line "fontname:DejaVu Sans"; line "fontsize:8"; line "fontcolor:0"; line "bold:False"
        line "italic:False"; line "underline:False"; line "backstyle:0"; line "backcolor:16777215"
    fi
    line "TotalLogo:1"; line "Logo:1"; line "logopath:$logo"; geometry 150 150 480 480
    line "TotalShape:1"; line "Type:0"; geometry 0 2700 4876 390
    line "BorderWidth:1"; line "BorderColor:9853952"; line "BackStyle:1"; line "BackColor:9853952"
    line "Photo:1"; geometry 240 820 1500 2000
    line "Sign:0"; geometry 120 1680 1215 375
    line "=================BACK SIDE====================="
    line "=================BACK SIDE====================="
}
badge 4
printf '"%s"\r\n' "${lines[@]}" >"$work/project/Badges/Bench.Lyt"
badge 5
printf '"%s"\r\n' "${lines[@]}" >"$work/project/Badges/BenchQR.Lyt"
cat >"$work/project/Badges/BenchQR.Lyt.json" <<JSON
{"format": "vellumark-badge", "version": 1,
 "front": {"elements": [{"kind": "field", "index": 5, "check": "<Employee.EmpNo>",
   "barcode": {"symbology": "qr", "humanReadable": false, "quietZone": true,
               "errorCorrection": 0, "moduleTwips": 0}}]}}
JSON

# The same badge for gLabels, merged from the same people (points = twips / 20).
cat >"$work/bench.glabels" <<XML
<?xml version="1.0"?>
<Glabels-document xmlns="http://glabels.org/xmlns/3.0/">
  <Template brand="Vellumark" part="Card" size="Other" width="243.8pt" height="154.5pt" description="Badge">
    <Meta category="card"/>
    <Label-rectangle id="0" width="243.8pt" height="154.5pt" round="0pt" x_waste="0pt" y_waste="0pt">
      <Markup-margin size="0pt"/>
      <Layout nx="1" ny="1" x0="0pt" y0="0pt" dx="243.8pt" dy="154.5pt"/>
    </Label-rectangle>
  </Template>
  <Objects id="0" rotate="False">
    <Object-image a0="1" a1="0" a2="0" a3="1" a4="0" a5="0" x="7.5pt" y="7.5pt" w="24pt" h="24pt" src="$logo"/>
    <Object-image a0="1" a1="0" a2="0" a3="1" a4="0" a5="0" x="12pt" y="41pt" w="75pt" h="100pt" field="Photo"/>
    <Object-box a0="1" a1="0" a2="0" a3="1" a4="0" a5="0" x="0pt" y="135pt" w="243.8pt" h="19.5pt" line_width="0.75pt" line_color="0x005c96ff" fill_color="0x005c96ff"/>
    <Object-text a0="1" a1="0" a2="0" a3="1" a4="0" a5="0" x="99pt" y="43pt" w="140pt" h="20pt" justify="Left" valign="Top" auto_shrink="False">
      <Span font_family="DejaVu Sans" font_size="15" font_weight="bold" font_italic="False" color="0x000000ff" line_spacing="1"><Field name="FirstName"/></Span>
    </Object-text>
    <Object-text a0="1" a1="0" a2="0" a3="1" a4="0" a5="0" x="99pt" y="60pt" w="140pt" h="20pt" justify="Left" valign="Top" auto_shrink="False">
      <Span font_family="DejaVu Sans" font_size="15" font_weight="bold" font_italic="False" color="0x000000ff" line_spacing="1"><Field name="LastName"/></Span>
    </Object-text>
    <Object-text a0="1" a1="0" a2="0" a3="1" a4="0" a5="0" x="99pt" y="81pt" w="140pt" h="15pt" justify="Left" valign="Top" auto_shrink="False">
      <Span font_family="DejaVu Sans" font_size="10" font_weight="normal" font_italic="False" color="0x000000ff" line_spacing="1"><Field name="Title"/></Span>
    </Object-text>
    <Object-text a0="1" a1="0" a2="0" a3="1" a4="0" a5="0" x="99pt" y="95pt" w="140pt" h="15pt" justify="Left" valign="Top" auto_shrink="False">
      <Span font_family="DejaVu Sans" font_size="10" font_weight="normal" font_italic="False" color="0x000000ff" line_spacing="1"><Field name="DeptName"/></Span>
    </Object-text>
  </Objects>
  <Merge type="Text/Comma/Line1Keys" src="$work/people.csv"/>
</Glabels-document>
XML

# The badge with the key as a QR code in the top right corner (gLabels draws it with libqrencode).
sed -e 's|  </Objects>|    <Object-barcode a0="1" a1="0" a2="0" a3="1" a4="0" a5="0" x="195pt" y="7.5pt" w="42pt" h="42pt" backend="libqrencode" style="IEC18004" text="False" checksum="True" color="0x000000ff" field="EmpNo"/>\n  </Objects>|' \
    "$work/bench.glabels" >"$work/bench-qr.glabels"

# The same badge ten to an A4 sheet, 3 mm apart and centred, as vellumark-print --sheet A4 puts it.
sed -e 's|size="Other" width="243.8pt" height="154.5pt"|size="A4" width="595.276pt" height="841.89pt"|' \
    -e 's|<Layout nx="1" ny="1" x0="0pt" y0="0pt" dx="243.8pt" dy="154.5pt"/>|<Layout nx="2" ny="5" x0="49.586pt" y0="17.687pt" dx="252.304pt" dy="163.004pt"/>|' \
    "$work/bench.glabels" >"$work/bench-a4.glabels"

keys=()
for n in $(seq 1 "$badges"); do keys+=(--key "$n"); done

measure() { # label output badges command...
    local label=$1 out=$2 count=$3
    shift 3
    local load
    load=$(cut -d' ' -f1 /proc/loadavg)
    /usr/bin/time -f '%e %M %U %S' -o "$work/time.txt" "$@" >"$work/$label.log" 2>&1 || {
        echo "$label failed:" >&2; tail -n 20 "$work/$label.log" >&2; exit 1; }
    read -r seconds kilobytes user system <"$work/time.txt"
    local size pages
    size=$(stat -c %s "$out")
    pages=$(pdfinfo "$out" | awk '/^Pages:/ {print $2}')
    # The photographs: the lowest resolution any of them prints at (pdfimages lists each use).
    local ppi
    ppi=$(pdfimages -list "$out" 2>/dev/null | awk 'NR > 2 && $4 >= 200 && $4 <= 1000 {p = ($13 < $14 ? $13 : $14); if (min == "" || p < min) min = p} END {print min}')
    rate=$(echo "$count / $seconds" | bc -l) # read by the caller
    # CPU time per badge does not depend on what else the machine is doing; the load average
    # (runnable threads of everyone) says how much of the machine was there to be had.
    printf '%-22s %6d pages %8.2f s %8.1f badges/s %6.2f CPU ms/badge %8.3f MB/badge %6s ppi photos %7.1f MB peak  (load %s)\n' \
        "$label" "$pages" "$seconds" "$rate" "$(echo "($user + $system) * 1000 / $count" | bc -l)" \
        "$(echo "$size / $count / 1000000" | bc -l)" "${ppi:-?}" "$(echo "$kilobytes / 1024" | bc -l)" "$load"
}
# A fast program whose codes do not scan proves nothing: the first, middle and last page at
# 300 dpi must each read back as the key of the person in that place of the list.
check_codes() { # label output
    local label=$1 out=$2 pages page read expected
    pages=$(pdfinfo "$out" | awk '/^Pages:/ {print $2}')
    for page in 1 $(((pages + 1) / 2)) "$pages"; do
        pdftoppm -r 300 -f "$page" -l "$page" -png -singlefile "$out" "$work/page"
        read=$("$build/bench/bench_read_codes" "$work/page.png" | cut -f2-) || true
        expected=$(awk -F, -v row=$((page + 1)) 'NR == row {print $1}' "$work/people.csv")
        if [[ $read != "$expected" ]]; then
            echo "$label: the code on page $page reads \"$read\", not the key $expected" >&2
            exit 1
        fi
    done
    printf '%-22s codes on pages 1, %d and %d read back as their keys\n' "$label" \
        $(((pages + 1) / 2)) "$pages"
}
ratio() { # label expression
    printf '%-22s %8.1f x the badges per second of gLabels\n' "$1" "$(echo "$2" | bc -l)"
}
size_ratio() { # label vellumark-output glabels-output (names in the work folder, no .pdf)
    printf '%-22s %8.2f x the PDF size of gLabels\n' "$1" \
        "$(echo "$(stat -c %s "$work/$2.pdf") / $(stat -c %s "$work/$3.pdf")" | bc -l)"
}

echo
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
echo "Rendering $badges badges (front side), one card a page ..."
measure vellumark-print "$work/vellumark.pdf" "$badges" \
    "$build/src/vellumark-print" "$project" --badge Bench --side front "${keys[@]}" -o "$work/vellumark.pdf"
card_vellumark=$rate
measure glabels-3-batch "$work/glabels.pdf" "$badges" \
    glabels-3-batch -o "$work/glabels.pdf" "$work/bench.glabels"
card_glabels=$rate

echo
echo "Rendering $badges badges (front side) with a QR code of the key, one card a page ..."
measure "vellumark-print QR" "$work/vellumark-qr.pdf" "$badges" \
    "$build/src/vellumark-print" "$project" --badge BenchQR --side front "${keys[@]}" -o "$work/vellumark-qr.pdf"
qr_vellumark=$rate
measure "glabels-3-batch QR" "$work/glabels-qr.pdf" "$badges" \
    glabels-3-batch -o "$work/glabels-qr.pdf" "$work/bench-qr.glabels"
qr_glabels=$rate
check_codes "vellumark-print QR" "$work/vellumark-qr.pdf"
check_codes "glabels-3-batch QR" "$work/glabels-qr.pdf"

echo
echo "Rendering $badges badges (front side), ten to an A4 sheet ..."
measure "vellumark-print A4" "$work/vellumark-a4.pdf" "$badges" \
    "$build/src/vellumark-print" "$project" --badge Bench --side front --sheet A4 "${keys[@]}" \
    -o "$work/vellumark-a4.pdf"
a4_vellumark=$rate
measure "glabels-3-batch A4" "$work/glabels-a4.pdf" "$badges" \
    glabels-3-batch -o "$work/glabels-a4.pdf" "$work/bench-a4.glabels"
a4_glabels=$rate

echo
ratio "card pages" "$card_vellumark / $card_glabels"
size_ratio "card pages" vellumark glabels
ratio "A4 sheets" "$a4_vellumark / $a4_glabels"
size_ratio "A4 sheets" vellumark-a4 glabels-a4
ratio "QR code, card pages" "$qr_vellumark / $qr_glabels"
size_ratio "QR code, card pages" vellumark-qr glabels-qr

echo
echo "Peak memory for ten times the batch ($((badges * 10)) badges, the same people ten times):"
many=()
for _ in $(seq 1 10); do many+=("${keys[@]}"); done
measure vellumark-print "$work/vellumark-10x.pdf" "$((badges * 10))" \
    "$build/src/vellumark-print" "$project" --badge Bench --side front "${many[@]}" -o "$work/vellumark-10x.pdf"
measure "vellumark-print A4" "$work/vellumark-a4-10x.pdf" "$((badges * 10))" \
    "$build/src/vellumark-print" "$project" --badge Bench --side front --sheet A4 "${many[@]}" \
    -o "$work/vellumark-a4-10x.pdf"
echo
echo "Outputs: $work/vellumark.pdf, $work/glabels.pdf, $work/vellumark-qr.pdf, $work/glabels-qr.pdf,"
echo "$work/vellumark-a4.pdf and $work/glabels-a4.pdf"
echo "(pdftoppm -f 17 -l 17 -png to compare a page)"
