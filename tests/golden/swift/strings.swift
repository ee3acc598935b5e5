let plain = "Hello, world"
let escapes = "quote \" backslash \\ newline \n tab \t emoji \u{1F600} end"
let interpolated = "x = \(x), sum = \(a + b)!"
let call = "size \(size.width) and \(f(1, "inner \(deep) text"))"
let parens = "\((a, (b)))"
let empty = ""
let afterString = "abc".uppercased()
let multi = """
    First line "quoted" and ""double""
    Value: \(value.description)
    Continued \
    last line
    """
let next = 1
