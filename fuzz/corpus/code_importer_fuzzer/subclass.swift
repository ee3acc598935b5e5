import UIKit

/// A glowing ember that rises and fades.
class EmberCell: CAEmitterCell {
    override init() {
        super.init()
        name = "ember"
        birthRate = 50
        lifetime = 3.5
        lifetimeRange = 1
        velocity = -60
        velocityRange = 20
        emissionRange = CGFloat(Double.pi / 8)
        self.scale = 0.15
        self.scaleSpeed = -0.04
        alphaSpeed = -0.3
        color = UIColor.orange.cgColor
        contents = UIImage(named: "spark")?.cgImage
        scale = scale * 2
    }

    convenience init(tint: UIColor) {
        self.init()
        color = tint.cgColor
        birthRate = birthRate / 2
    }

    required init?(coder: NSCoder) {
        super.init(coder: coder)
    }
}

class EmberView: UIView {
    override class var layerClass: AnyClass {
        return CAEmitterLayer.self
    }

    var emitter: CAEmitterLayer {
        return layer as! CAEmitterLayer
    }

    override func layoutSubviews() {
        super.layoutSubviews()
        emitter.emitterPosition = CGPoint(x: bounds.midX, y: bounds.maxY - 20)
        emitter.emitterSize = CGSize(width: 80, height: 10)
        emitter.emitterShape = .rectangle
        emitter.renderMode = .additive
        emitter.emitterCells = [EmberCell(), EmberCell(tint: .red)]
    }
}
