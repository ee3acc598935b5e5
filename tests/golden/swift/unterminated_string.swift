let broken = "no closing quote
let next = CGSize(width: 1.0, height: 2.0)
let open = "text \(value
let after = 3
let escapedEnd = "ends with a backslash \
let last = true
