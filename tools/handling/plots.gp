# Draws docs/handling's plots from the data files of ferrox_handling.
# Usage: gnuplot -e "data='DIR'; out='DIR'; made='LABEL'" tools/handling/plots.gp
# `made` names what the plots were made from (the commit), in a corner of each.
if (!exists("data") || !exists("out")) { print "set data and out"; exit status 2 }
if (!exists("made")) { made = "" }

set terminal pngcairo size 800,500 font "DejaVu Sans,10" linewidth 1.5
set datafile commentschars "#"

# One colour for each gear in every plot: forward cool to warm, reverse in purple and brown.
colour(g) = g == 1 ? "#1f77b4" : g == 2 ? "#2ca02c" : g == 3 ? "#ff7f0e" : g == 4 ? "#d62728" \
          : g == -1 ? "#9467bd" : "#8c564b"
label(g) = g > 0 ? sprintf("gear %d", g) : sprintf("gear %d, reverse", g)
forward = "1 2 3 4"
everyGear = "1 2 3 4 -1 -2"

# Every plot starts from these settings.
fresh = "reset; set grid lc rgb '#dddddd'; set key box opaque samplen 2 reverse Left; \
  set label 99 made at screen 0.99, screen 0.015 right font ',8' tc rgb '#777777' front"
# A strip across the bottom of a multiplot that holds only the key, so that it hides no line.
keyStrip = "set size 1, 0.14; set origin 0, 0; unset border; unset tics; unset xlabel; \
  unset ylabel; unset grid; unset title; unset xzeroaxis; set xrange [0:1]; set yrange [0:1]; \
  set key center center maxrows 2 font ',9'"

# Road speed over time: the first half minute, where the gears change, and the long run.
@fresh
set output out."/speed.png"
set multiplot title "Road speed with W held from standstill"
f = data."/speed.dat"
# The shifting drive under the gears alone, each of its shifts marked where the gear changes.
shifting = 'f skip 1 using 1:2 with lines lc rgb "#aaaaaa" lw 4'
shifts = 'f skip 1 using 1:(g = $3, s = (g != before ? $2 : 1/0), before = g, s) \
  with points pt 7 ps 0.8 lc rgb "black"'
alone = 'for [c = 4:9] f skip 1 using 1:c with lines lc rgb colour(word(everyGear, c - 3) + 0)'
set xlabel "time (s)"
set ylabel "road speed (km/h)"
set yrange [-40:75]
set key off
set size 0.42, 0.83
set origin 0, 0.12
set xrange [0:30]
before = 1
plot @shifting, @alone, @shifts
set size 0.58, 0.83
set origin 0.42, 0.12
set xrange [0:600]
set ylabel ""
before = 1
plot @shifting, @alone, @shifts
@keyStrip
plot NaN with lines lc rgb "#aaaaaa" lw 4 title "shifting up from 1", \
     NaN with points pt 7 ps 0.8 lc rgb "black" title "shift", \
     for [g in everyGear] NaN with lines lc rgb colour(g+0) title label(g+0)
unset multiplot

# Drive torque over road speed, reverse to the left of zero.
@fresh
set output out."/torque.png"
set title "Drive torque by gear with W held"
set xlabel "road speed (km/h)"
set ylabel "drive torque (N m)"
set xrange [-40:70]
set yrange [0:15000]
set key left top maxrows 3
plot for [g in everyGear] data."/torque.dat" skip 1 using 2:($1 == g+0 ? $3 : 1/0) \
     with lines lc rgb colour(g+0) title label(g+0)

# Net force over road speed: whole, and the forward gears near zero, where they cross.
@fresh
set output out."/force.png"
set multiplot title "Net force by gear with W held: drive less engine and rolling drag"
force = 'for [g in everyGear] data."/force.dat" skip 1 using 2:($1 == g+0 ? $3 / 1000 : 1/0) \
  with lines lc rgb colour(g+0) notitle'
set xzeroaxis lt -1 lw 1
set xlabel "road speed (km/h)"
set ylabel "net force (kN)"
set key off
set size 0.5, 0.83
set origin 0, 0.12
set xrange [-40:70]
plot @force
set size 0.5, 0.83
set origin 0.5, 0.12
set title "closer: where each gear pulls hardest" font ",9"
set ylabel ""
set xrange [10:70]
set yrange [-6:12]
plot @force
@keyStrip
plot for [g in everyGear] NaN with lines lc rgb colour(g+0) title label(g+0)
unset multiplot

# The hull through a jump, until it has settled again.
@fresh
set output out."/jump.png"
j = data."/jump.dat"
wheel = system("sed -n 's/.*kicked \\(wheel .*\\)$/\\1/p' ".j)
set multiplot layout 2,1 title "The hull after C (jump): ".wheel." kicked"
set autoscale xfix
set ylabel "hull height (m)"
set key off
plot j skip 1 using 1:2 with lines lc rgb "black"
set xlabel "time after C (s)"
set ylabel "angle (deg)"
set key right top
plot j skip 1 using 1:3 with lines lc rgb "#1f77b4" title "pitch, + nose down", \
     "" skip 1 using 1:4 with lines lc rgb "#d62728" title "roll, + left side down"
unset multiplot

# The turret's traverse, J held and released: J's time shaded.
@fresh
set output out."/traverse.png"
t = data."/traverse.dat"
stats t skip 1 using ($2 == 0 ? $1 : NaN) name "released" nooutput
set object 1 rectangle from 0, graph 0 to released_min, graph 1 behind \
    fillcolor rgb "#eeeeee" fillstyle solid noborder
set label 1 "J held" at released_min / 2, graph 0.06 center
set title "Turret traverse with J held for a second, then released"
set xlabel "time (s)"
set ylabel "traverse rate (deg/s)"
set y2label "turret yaw from the hull (deg)"
set ytics nomirror
set y2tics
set yrange [0:*]
set y2range [0:*]
set key right center
plot t skip 1 using 1:3 with lines lc rgb "#1f77b4" title "traverse rate", \
     "" skip 1 using 1:4 axes x1y2 with lines lc rgb "#d62728" dt 2 title "yaw"
