import Cocoa

class SnowView: NSView {
    private let snowLayer = CAEmitterLayer()

    override init(frame frameRect: NSRect) {
        super.init(frame: frameRect)
        wantsLayer = true
        layer?.backgroundColor = NSColor.black.cgColor
        setupSnow()
    }

    required init?(coder: NSCoder) {
        super.init(coder: coder)
    }

    func setupSnow() {
        snowLayer.emitterShape = kCAEmitterLayerLine
        snowLayer.emitterMode = kCAEmitterLayerAdditive
        snowLayer.emitterPosition = CGPointMake(frame.size.width / 2, frame.size.height + 10)
        snowLayer.emitterSize = CGSizeMake(frame.size.width, 1)
        snowLayer.backgroundColor = NSColor(calibratedWhite: 0.1, alpha: 1).cgColor
        snowLayer.emitterDepth = 20

        let flake = CAEmitterCell()
        flake.name = "flake"
        flake.birthRate = 40
        flake.lifetime = 20
        flake.velocity = 30
        flake.velocityRange = 10
        flake.yAcceleration = -5
        flake.xAcceleration = 2
        flake.emissionLongitude = -M_PI_2
        flake.emissionRange = M_PI_4
        flake.spin = -0.5
        flake.spinRange = 1
        flake.scale = 0.05
        flake.scaleRange = 0.03
        flake.alphaRange = 0.4
        flake.color = NSColor(white: 1, alpha: 0.9).withAlphaComponent(0.8).cgColor
        flake.contents = NSImage(named: "snowflake")?.cgImage(forProposedRect: nil, context: nil, hints: nil)

        let big = CAEmitterCell()
        big.name = "big flake"
        big.birthRate = flake.birthRate / 4
        big.lifetime = flake.lifetime
        big.velocity = flake.velocity * 1.5
        big.emissionLongitude = flake.emissionLongitude
        big.scale = CGFloat(Double(flake.scale) * 2)
        big.color = NSColor.white.cgColor
        big.contents = makeFlakeImage()

        snowLayer.emitterCells = [flake, big]
        layer?.addSublayer(snowLayer)
    }

    func makeFlakeImage() -> CGImage? {
        let image = NSImage(size: NSSize(width: 16, height: 16), flipped: false) { rect in
            NSColor.white.setFill()
            NSBezierPath(ovalIn: rect).fill()
            return true
        }
        return image.cgImage(forProposedRect: nil, context: nil, hints: nil)
    }
}

let preview = SnowView(frame: NSRect(x: 0, y: 0, width: 600, height: 400))
