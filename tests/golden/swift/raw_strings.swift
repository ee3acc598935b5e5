let raw = #"A "quoted" \n backslash"#
let rawInterpolated = #"Sum \#(a + b) and \(not)"#
let twoHashes = ##"not closed by "# or \#(x), only by "##
let almost = #"a " b \" c"#
let rawMulti = #"""
    Line with """ inside
    \#(value)
    """#
let after = 2
