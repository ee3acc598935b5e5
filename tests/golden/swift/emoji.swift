let 🐶🐮 = "dogcow 🐄"
let café = naïve(1)
let résumé = Éclair()
let 名前 = ラベル.テキスト
let sparkles = a ✨ b
let family = "👩‍👩‍👧‍👦"
cell1.name = "fire 🔥"
let x = 🎆(1)
