particlesLayer.renderMode = .additive
let angle = 30.0 * (.pi / 180.0)
host.layer?.addSublayer(particlesLayer)
let w = $0.size.width
let z = CGSize.zero.width
let t = flag ? .red : .blue
let u = value!.count
let v = list[0].first
let s = "text".count
let n = 1.description
let r = 0..<5
let q = a...b
switch shape {
case .point: return .zero
}
let chained = items
    .map(transform)
    .filter { $0.isVisible }.first
let k = \.frame
let m = Foo.Bar.baz
