# Praat's time for the same analysis as sonavix-bench-analysis: pitch (autocorrelation), formants
# (burg) and a wideband spectrogram of one file, timed inside Praat so that its start-up and the
# file reading do not count. Best of the given number of runs, in milliseconds.
form Time
    sentence file
    real ceiling 5000
    integer runs 5
endform
s = Read from file: file$
best = 1e9
for i to runs
    selectObject: s
    stopwatch
    p = To Pitch (ac): 0, 75, 15, "no", 0.03, 0.45, 0.01, 0.35, 0.14, 600
    selectObject: s
    f = To Formant (burg): 0, 5, ceiling, 0.025, 50
    selectObject: s
    g = To Spectrogram: 0.005, 5000, 0.002, 20, "Gaussian"
    t = stopwatch
    best = min (best, t)
    removeObject: p, f, g
endfor
writeInfoLine: fixed$ (best * 1000, 2)
