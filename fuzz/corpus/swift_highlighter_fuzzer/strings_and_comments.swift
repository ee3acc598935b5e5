let s = "a \(b + "c \(d)") e" /* outer /* nested */ still */
let raw = #"raw \#(x) "quoted" "#
let multi = """
  line \(value)
  """
// comment with "quote"
@objc func f(_ x: Int) -> Int { return x.bitWidth + 0x1F + 1_000.5e-3 + `class` }
#if os(macOS)
let image = NSImage(named:"spark")?.cgImage ; self.view.addSubview(host)
#endif
