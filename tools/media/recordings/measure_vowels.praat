# Formants and pitch of the first saying in a symbol recording, for measure_vowels.py.
#   praat --run measure_vowels.praat FILE
# Prints one line: duration, F1 F2 F3 at 20, 50 and 80 % of the vowel, F0 at 20 % and 80 %,
# F0 minimum and maximum, all in seconds and Hz, then jitter and shimmer (local, %) over the
# middle of the vowel (Praat's Burg tracker, ceiling 5000 Hz as its
# manual advises for men).
form Measure
    sentence file
endform

sound = Read from file: file$
Convert to mono
mono = selected("Sound")

# The first saying: from where the intensity first rises within 25 dB of the peak to where it
# falls below that again.
intensity = To Intensity: 75, 0, "yes"
peak = Get maximum: 0, 0, "parabolic"
frames = Get number of frames
start = -1
stop = -1
for i to frames
    v = Get value in frame: i
    t = Get time from frame number: i
    if v <> undefined and v > peak - 25
        if start < 0
            start = t
        endif
        stop = t
    elsif start >= 0 and t - stop > 0.15
        goto found
    endif
endfor
label found
dur = stop - start

selectObject: mono
formant = To Formant (burg): 0.005, 5, 5000, 0.025, 50
line$ = fixed$(dur, 3)
for p from 1 to 3
    frac = 0.2 + (p - 1) * 0.3
    tm = start + frac * dur
    for k to 3
        f = Get value at time: k, tm, "hertz", "linear"
        line$ = line$ + " " + fixed$(f, 0)
    endfor
endfor

selectObject: mono
pitch = To Pitch: 0.005, 60, 300
a = Get value at time: start + 0.2 * dur, "Hertz", "linear"
b = Get value at time: start + 0.8 * dur, "Hertz", "linear"
lo = Get minimum: start, stop, "Hertz", "parabolic"
hi = Get maximum: start, stop, "Hertz", "parabolic"
line$ = line$ + " " + fixed$(a, 1) + " " + fixed$(b, 1) + " " + fixed$(lo, 1) + " " + fixed$(hi, 1)

# Cycle-to-cycle variation of the voice source over the middle of the vowel.
selectObject: mono
plusObject: pitch
points = To PointProcess (cc)
jitter = Get jitter (local): start + 0.2 * dur, stop - 0.2 * dur, 0.0001, 0.02, 1.3
selectObject: mono
plusObject: points
shimmer = Get shimmer (local): start + 0.2 * dur, stop - 0.2 * dur, 0.0001, 0.02, 1.3, 1.6
line$ = line$ + " " + fixed$(jitter * 100, 2) + " " + fixed$(shimmer * 100, 2)
writeInfoLine: line$
