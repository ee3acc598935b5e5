let ints = [0, 42, 1_000_000]
let decimals = [0.5, 255.0, 3.14159, 1.0e10, 2.5E-3, 6e+2]
let hex = [0xFF, 0x1F_FF, 0x1.8p3, 0xAp-2]
let others = [0o17, 0b1010]
let junk = [12px, 0xZZ, 1e]
let member = 0xFF.description
let ratio = 255/255.0
