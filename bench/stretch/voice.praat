# For every WAV file named in the list file: the median F0 (Hz, 75-500 Hz, autocorrelation) and
# the mean harmonics-to-noise ratio (dB, over the voiced frames) of its left channel, one line
# per file: PATH<TAB>F0<TAB>HNR.
form Voice figures
    sentence list files.txt
endform
paths = Read Strings from raw text file: list$
n = Get number of strings
writeInfo: ""
for i to n
    selectObject: paths
    path$ = Get string: i
    sound = Read from file: path$
    left = Extract one channel: 1
    pitch = To Pitch: 0, 75, 500
    f0 = Get quantile: 0, 0, 0.5, "Hertz"
    selectObject: left
    harmonicity = To Harmonicity (cc): 0.01, 75, 0.1, 1.0
    hnr = Get mean: 0, 0
    appendInfoLine: path$, tab$, fixed$(f0, 3), tab$, fixed$(hnr, 3)
    removeObject: sound, left, pitch, harmonicity
endfor
