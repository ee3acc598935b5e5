let a = "never closed
let b = /* open
ğŸ”¥ ÿÃ "\u{1F525}