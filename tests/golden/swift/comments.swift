// A line comment with "a string" and /* an opener
let x = 1 // trailing comment
/* block */ let y = 2
/* outer /* nested */ still comment */ let z = 3
/**
 Doc comment
 - Parameter x: 🎆
 */
let s = "// not a comment /* neither */"
let p = a / b /c
/*/ not closed by the slash star slash */
