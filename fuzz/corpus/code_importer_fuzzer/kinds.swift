import AppKit
class Glow: CAEmitterCell { override init() { super.init(); birthRate = 3; self.spin = .pi } }
struct V { var c: CAEmitterCell { let c = CAEmitterCell(); c.color = NSColor(calibratedRed: 1, green: 0, blue: 0, alpha: 1).cgColor; return c } }
let layer: CAEmitterLayer = { let l = CAEmitterLayer(); l.emitterShape = kCAEmitterLayerLine; return l }()
let cells = (0..<3).map { i -> CAEmitterCell in let c = CAEmitterCell(); c.velocity = CGFloat(i) * 10 + M_PI; c.contents = NSImage(named: "x")?.cgImage; return c }
layer.emitterCells = cells + [Glow(), V().c]; cells[0].emitterCells = [cells[1]]; cells[1].beginTime = cells[0].lifetime - 0.2
for (i, name) in ["a", "b"].enumerated() { let c = CAEmitterCell(); c.name = name; c.scale = 0.1 * Double(i); cells[2].emitterCells = [c] }
layer.emitterPosition = CGPoint(x: bounds.midX, y: view.frame.size.height / 2); layer.seed = 4
DispatchQueue.main.async { layer.birthRate = 0 }; if true { layer.renderMode = .additive } else { layer.renderMode = .oldestLast }
