# Sourced by the scripts that make test books from speech: the nine phrases
# the test books read, each spoken by espeak-ng (Italian), resampled to
# 16 kHz and padded to a whole millisecond, so that the clip times the books
# write are exact.
phrases=("Capitolo primo." "Questo è il primo paragrafo del libro." "Una seconda frase del capitolo."
         "Sezione uno." "La sezione contiene poche parole." "Fine della sezione."
         "Capitolo secondo." "Pagina 2." "Ultima frase del libro.")

# speak_phrases WORK: WORK/p0.wav ... WORK/p8.wav, and ms the length of each in milliseconds.
speak_phrases() {
    local work=$1 i n pad
    ms=()
    for i in "${!phrases[@]}"; do
        espeak-ng -v it -s 200 -w "$work/raw$i.wav" "${phrases[$i]}"
        sox "$work/raw$i.wav" -r 16000 "$work/r$i.wav"
        n=$(soxi -s "$work/r$i.wav")
        pad=$(( (16 - n % 16) % 16 ))
        sox "$work/r$i.wav" "$work/p$i.wav" pad 0 "${pad}s"
        ms+=($(( (n + pad) / 16 )))
    done
}
