let `default` = 1
let `class` = `Type`(`let`: 2)
let value = options.`default`
let choice = .`private`
func `func`() {}
let broken = `not closed
