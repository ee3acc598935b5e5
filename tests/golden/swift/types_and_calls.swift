let size = CGSize(width: 400.0, height: 300.0)
let host = NSView(frame: CGRect(x: 0.0, y: 0.0, width: size.width, height: size.height))
let image: CGImage? = NSImage(named:"star")
let items: [String: Int] = [:]
var array = Array<Int>()
print("done")
let mapped = values.map { $0 * 2 }
let flat = image.flatMap { transform($0) }
let trailing = compute (1)
func build(for key: String) -> Self { return self }
init(value: Int) { super.init() }
if let x = y, x is Int, x as? Double == nil { throw error }
guard case .some(let v) = optional else { return }
