let a = 1
/* open /* nested */ comment
let b = "still comment"
