import UIKit

class FireworksView: UIView {
    let fireworks: CAEmitterLayer = {
        let layer = CAEmitterLayer()
        layer.emitterShape = CAEmitterLayerEmitterShape.line
        layer.renderMode = CAEmitterLayerRenderMode.additive
        layer.emitterMode = .outline
        return layer
    }()

    private var rocket: CAEmitterCell {
        let rocket = CAEmitterCell()
        rocket.name = "rocket"
        rocket.birthRate = 1.5
        rocket.lifetime = 1.02
        rocket.emissionRange = 0.25 * .pi
        rocket.velocity = 380
        rocket.velocityRange = 100
        rocket.yAcceleration = 75
        rocket.color = UIColor(red: 0.5, green: 0.5, blue: 0.5, alpha: 1).cgColor
        rocket.redRange = 0.5
        rocket.greenRange = 0.5
        rocket.blueRange = 0.5
        rocket.emissionLongitude = -.pi / 2
        rocket.contents = #imageLiteral(resourceName: "spark").cgImage
        rocket.scale = 0.2
        return rocket
    }

    func makeBurst(after rocket: CAEmitterCell) -> CAEmitterCell {
        let burst = CAEmitterCell()
        burst.name = "burst"
        burst.birthRate = 1
        burst.velocity = 0
        burst.scale = 2.5
        burst.redSpeed = -1.5
        burst.blueSpeed = +1.5
        burst.greenSpeed = 1.0
        burst.lifetime = 0.35
        burst.beginTime = rocket.lifetime - 0.02
        burst.duration = 0.1
        return burst
    }

    func makeSpark(in burst: CAEmitterCell) -> CAEmitterCell {
        let spark = CAEmitterCell()
        spark.name = "spark"
        spark.birthRate = 400
        spark.velocity = 125
        spark.emissionRange = 2 * .pi
        spark.yAcceleration = 75
        spark.lifetime = 3
        spark.beginTime = burst.beginTime - 0.2
        spark.contents = UIImage(named: "spark")?.cgImage
        spark.scaleSpeed = -0.2
        spark.alphaSpeed = -0.25
        spark.spin = 2 * .pi
        spark.spinRange = 2 * .pi
        return spark
    }

    override init(frame: CGRect) {
        super.init(frame: frame)
        fireworks.emitterPosition = CGPoint(x: bounds.width / 2, y: bounds.height)
        fireworks.emitterSize = CGSize(width: bounds.width / 2, height: 0)
        fireworks.birthRate = 2
        fireworks.seed = 42

        let rocket = self.rocket
        let burst = makeBurst(after: rocket)
        burst.emitterCells = [makeSpark(in: burst)]
        rocket.emitterCells = [burst]
        fireworks.emitterCells = [rocket]
        layer.addSublayer(fireworks)
        fireworks.setValue(0, forKeyPath: "emitterCells.rocket.birthRate")
    }

    required init?(coder: NSCoder) { fatalError("init(coder:) has not been implemented") }
}
